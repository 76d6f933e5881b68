# Tumblewick's MSI, for deploying to many PCs: made by the `msi` target (part
# of every build) beside the setup, from the same stripped program and
# wallpapers:
#   Tumblewick-<version>.msi      the 32-bit program, per machine
#   Tumblewick-<version>-x64.msi  made by the 64-bit tree instead, so that a
#                                 host that runs 64-bit programs only can try
#                                 the MSI too
# wixl (msitools) builds it from tools/msi.wxs; msibuild then adds what wixl
# cannot write: the condition of the desktop shortcut's feature and the
# conditions that keep a parent's own file under a wallpaper's name. The
# custom actions of the wallpaper rule are tools/msi_action.cpp.
#
# This file is also the script that builds one MSI, so that a test can build
# another version of it the same way:
#   cmake -DPACKAGE=<build>/package -DVERSION=<x.y.z> -DOUT=<msi> [-DEXE=<program>]
#         -P tools/msi.cmake
# PACKAGE holds the stripped program, the wallpapers and their list, the
# custom actions' DLL and msi-settings.cmake (written by the build).
if(CMAKE_SCRIPT_MODE_FILE)
    include(${PACKAGE}/msi-settings.cmake)
    if(NOT DEFINED EXE)
        set(EXE ${PACKAGE}/Tumblewick.exe)
    endif()
    # One product code for each version of each kind, the same in every build.
    string(UUID product_code NAMESPACE ${MSI_UPGRADE_CODE} NAME "Tumblewick ${VERSION}" TYPE SHA1 UPPER)

    # The wallpaper components, from the setup's list of them (size and
    # CRC-32 of each): no component code, so Windows Installer never removes
    # them; a condition that the custom actions can set to keep a file.
    file(STRINGS ${PACKAGE}/wallpapers.nsh lines REGEX "^!insertmacro WALLPAPER ")
    set(records "")
    set(components "")
    set(refs "")
    set(queries "")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "\"(([a-z]+)\\.bmp)\" ([0-9]+) ([0-9A-F]+)$")
            message(FATAL_ERROR "Cannot read the wallpaper line: ${line}")
        endif()
        set(file ${CMAKE_MATCH_1})
        set(stem ${CMAKE_MATCH_2})
        string(APPEND records "${file}=${CMAKE_MATCH_3}:${CMAKE_MATCH_4};")
        string(APPEND components
            "      <Component Id=\"Wallpaper_${stem}\" Guid=\"\" Win64=\"${MSI_WIN64}\">\n"
            "        <File Id=\"Wallpaper_${stem}\" Name=\"${file}\" Source=\"wallpapers/${file}\" KeyPath=\"yes\"/>\n"
            "      </Component>\n")
        string(APPEND refs "      <ComponentRef Id=\"Wallpaper_${stem}\"/>\n")
        list(APPEND queries "UPDATE `Component` SET `Condition` = 'NOT Keep_${stem}' WHERE `Component` = 'Wallpaper_${stem}'")
    endforeach()
    list(LENGTH lines count)
    if(NOT count EQUAL 24)
        message(FATAL_ERROR "${PACKAGE}/wallpapers.nsh lists ${count} wallpapers, not 24")
    endif()
    file(WRITE ${OUT}.wxi
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Include>\n"
        "  <Property Id=\"TwWallpapers\" Value=\"${records}\"/>\n"
        "  <DirectoryRef Id=\"WallpaperFolder\">\n${components}  </DirectoryRef>\n"
        "  <Feature Id=\"Wallpapers\" Title=\"Wallpapers\" Level=\"1\" Display=\"hidden\">\n${refs}  </Feature>\n"
        "</Include>\n")
    list(APPEND queries
        "CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)"
        "INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES ('DesktopShortcut', 1, 'DESKTOPSHORTCUT=1')")

    # wixl finds files only by paths relative to where it runs.
    file(RELATIVE_PATH wallpapers_include ${PACKAGE} ${OUT}.wxi)
    foreach(name EXE MSI_ICON)
        file(RELATIVE_PATH ${name} ${PACKAGE} ${${name}})
    endforeach()
    # The desktop shortcut's component has no file of its own to derive a
    # code from.
    string(UUID desktop_code NAMESPACE ${MSI_UPGRADE_CODE} NAME "desktop shortcut" TYPE SHA1 UPPER)
    file(REMOVE ${OUT} ${OUT}.part)
    execute_process(COMMAND ${MSI_WIXL} -a ${MSI_ARCH} -o ${OUT}.part
            -D Version=${VERSION} -D ProductCode=${product_code} -D UpgradeCode=${MSI_UPGRADE_CODE}
            -D Manufacturer=${MSI_MANUFACTURER} -D Website=${MSI_WEBSITE} -D Win64=${MSI_WIN64}
            -D ProgramFiles=${MSI_PROGRAM_FILES} -D Exe=${EXE} -D Icon=${MSI_ICON}
            -D Actions=msi_action.dll -D Wallpapers=${wallpapers_include} -D DesktopShortcutCode=${desktop_code}
            ${CMAKE_CURRENT_LIST_DIR}/msi.wxs
        WORKING_DIRECTORY ${PACKAGE} COMMAND_ERROR_IS_FATAL ANY)
    foreach(query IN LISTS queries)
        execute_process(COMMAND ${MSI_MSIBUILD} ${OUT}.part -q "${query}" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    file(RENAME ${OUT}.part ${OUT})
    file(REMOVE ${OUT}.wxi)
    return()
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(msi_suffix "")
    set(msi_arch x86)
    set(msi_win64 no)
    set(msi_program_files ProgramFilesFolder)
    set(msi_upgrade_code 14FBFD2D-D5AE-4A2E-B41F-44A285C35C38)
else()
    set(msi_suffix "-x64")
    set(msi_arch x64)
    set(msi_win64 yes)
    set(msi_program_files ProgramFiles64Folder)
    set(msi_upgrade_code 21F687E8-4DF9-46AE-BB83-084211571E84)
endif()

find_program(TW_WIXL wixl REQUIRED)
find_program(TW_MSIBUILD msibuild REQUIRED)

set(TW_MSI ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}${msi_suffix}.msi)
set(TW_MSI_UPGRADE_CODE ${msi_upgrade_code})
set(TW_MSI_ACTIONS ${TW_PACKAGE_DIR}/msi_action.dll)
file(WRITE ${CMAKE_BINARY_DIR}/msi-settings.cmake.new
    "set(MSI_ARCH ${msi_arch})\n"
    "set(MSI_WIN64 ${msi_win64})\n"
    "set(MSI_PROGRAM_FILES ${msi_program_files})\n"
    "set(MSI_UPGRADE_CODE ${msi_upgrade_code})\n"
    "set(MSI_MANUFACTURER \"${TW_PUBLISHER}\")\n"
    "set(MSI_WEBSITE \"${TW_WEBSITE}\")\n"
    "set(MSI_ICON \"${CMAKE_SOURCE_DIR}/assets/tumblewick.ico\")\n"
    "set(MSI_WIXL \"${TW_WIXL}\")\n"
    "set(MSI_MSIBUILD \"${TW_MSIBUILD}\")\n")
# Rewritten only when it changes, so that a new configure alone makes no new MSI.
configure_file(${CMAKE_BINARY_DIR}/msi-settings.cmake.new ${TW_PACKAGE_DIR}/msi-settings.cmake COPYONLY)

# The custom actions run inside Windows Installer, from the MSI itself.
add_library(msi_action MODULE ${CMAKE_SOURCE_DIR}/tools/msi_action.cpp)
# -l: the import library, not this file's `msi` target.
target_link_libraries(msi_action PRIVATE -lmsi shell32)
target_link_options(msi_action PRIVATE -Wl,--kill-at)
add_custom_command(OUTPUT ${TW_MSI_ACTIONS}
    COMMAND ${CMAKE_STRIP} -o ${TW_MSI_ACTIONS} $<TARGET_FILE:msi_action>
    DEPENDS msi_action
    COMMENT "Stripping the MSI's custom actions")

list(TRANSFORM TW_WALLPAPER_FILES PREPEND ${TW_WALLPAPER_DIR}/ OUTPUT_VARIABLE msi_wallpapers)
add_custom_command(OUTPUT ${TW_MSI}
    COMMAND ${CMAKE_COMMAND} -DPACKAGE=${TW_PACKAGE_DIR} -DVERSION=${PROJECT_VERSION} -DOUT=${TW_MSI}
            -P ${CMAKE_SOURCE_DIR}/tools/msi.cmake
    COMMAND ${CMAKE_SOURCE_DIR}/tools/sign ${TW_MSI} "Tumblewick" "${TW_WEBSITE}"
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/msi.cmake ${CMAKE_SOURCE_DIR}/tools/msi.wxs ${TW_PACKAGE_DIR}/msi-settings.cmake
            ${TW_PACKAGED_EXE} ${TW_MSI_ACTIONS} ${msi_wallpapers} ${TW_WALLPAPER_LIST}
            ${CMAKE_SOURCE_DIR}/assets/tumblewick.ico
    COMMENT "Building ${TW_MSI}")

add_custom_target(msi ALL DEPENDS ${TW_MSI})
# The program and the wallpapers are the setup target's outputs: made there
# once, never by both targets at the same time.
add_dependencies(msi setup)
