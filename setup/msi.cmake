# Tumblewick's MSIs, for deploying to many PCs: made by the `msi` target (part
# of every build) beside the setup, from the same stripped program and
# wallpapers:
#   Tumblewick-<version>-x64.msi  the 64-bit program, in Program Files
#   Tumblewick-<version>-x86.msi  the 32-bit program (the i686 tree), for
#                                 32-bit Windows
# Both are one product: one upgrade code, so that either replaces the other
# by a major upgrade, and a product code of each version and kind.
# wixl (msitools) builds it from setup/msi.wxs; msibuild then adds what wixl
# cannot write: the condition of the desktop shortcut's feature, the types of
# the rollback and commit actions, the inclusive upper bound of the upgrade,
# and a package code of its own inputs (wixl picks one at random). The custom
# actions are setup/msi_action.cpp.
#
# This file is also the script that builds one MSI, so that a test can build
# another version of it the same way:
#   cmake -DPACKAGE=<build>/package -DVERSION=<x.y.z> -DOUT=<msi> [-DEXE=<program>]
#         -P setup/msi.cmake
# PACKAGE holds the stripped program, the wallpapers and their list, the
# custom actions' DLL and msi-settings.cmake (written by the build).
if(CMAKE_SCRIPT_MODE_FILE)
    include(${PACKAGE}/msi-settings.cmake)
    if(NOT DEFINED EXE)
        set(EXE ${PACKAGE}/Tumblewick.exe)
    endif()
    # The x86 MSI keeps the product codes it had before there was an x64 one.
    set(kind "")
    if(MSI_ARCH STREQUAL "x64")
        set(kind " x64")
    endif()
    string(UUID product_code NAMESPACE ${MSI_UPGRADE_CODE} NAME "Tumblewick ${VERSION}${kind}" TYPE SHA1 UPPER)

    # The wallpapers go into the program folder; the custom actions place
    # them in the shared folder.
    file(STRINGS ${PACKAGE}/wallpapers.nsh lines REGEX "^!insertmacro WALLPAPER ")
    set(components "")
    set(refs "")
    set(inputs "${VERSION} ${MSI_ARCH}")
    foreach(file IN ITEMS ${EXE} ${PACKAGE}/msi_action.dll ${MSI_ICON} ${CMAKE_CURRENT_LIST_DIR}/msi.wxs
                          ${CMAKE_CURRENT_LIST_FILE})
        file(SHA256 ${file} digest)
        string(APPEND inputs " ${digest}")
    endforeach()
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "\"(([a-z]+)\\.bmp)\" ([0-9]+)$")
            message(FATAL_ERROR "Cannot read the wallpaper line: ${line}")
        endif()
        set(file ${CMAKE_MATCH_1})
        set(stem ${CMAKE_MATCH_2})
        file(SHA256 ${PACKAGE}/wallpapers/${file} digest)
        string(APPEND inputs " ${digest}")
        string(APPEND components
            "      <Component Id=\"Wallpaper_${stem}\" Guid=\"*\" Win64=\"${MSI_WIN64}\">\n"
            "        <File Id=\"Wallpaper_${stem}\" Name=\"${file}\" Source=\"wallpapers/${file}\" KeyPath=\"yes\"/>\n"
            "      </Component>\n")
        string(APPEND refs "      <ComponentRef Id=\"Wallpaper_${stem}\"/>\n")
    endforeach()
    list(LENGTH lines count)
    if(NOT count EQUAL 24)
        message(FATAL_ERROR "${PACKAGE}/wallpapers.nsh lists ${count} wallpapers, not 24")
    endif()
    string(UUID package_code NAMESPACE ${MSI_UPGRADE_CODE} NAME "package ${inputs}" TYPE SHA1 UPPER)
    file(WRITE ${OUT}.wxi
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Include>\n"
        "  <DirectoryRef Id=\"WallpaperSource\">\n${components}  </DirectoryRef>\n"
        "  <Feature Id=\"Wallpapers\" Title=\"Wallpapers\" Level=\"1\" Display=\"hidden\">\n${refs}  </Feature>\n"
        "</Include>\n")
    # Custom action types: a DLL from the Binary table (1), its result
    # ignored (64), in the script (1024), as the machine (2048); rollback
    # (256) or commit (512).
    set(queries
        "UPDATE `CustomAction` SET `Type` = 3393 WHERE `Action` = 'UnplaceWallpapers'"
        "UPDATE `CustomAction` SET `Type` = 3393 WHERE `Action` = 'RestoreWallpapers'"
        "UPDATE `CustomAction` SET `Type` = 3649 WHERE `Action` = 'FinishWallpapers'"
        "UPDATE `CustomAction` SET `Type` = 3137 WHERE `Action` = 'RemoveWallpapers'"
        # 513: migrate features (1), the upper bound inclusive (512); a key
        # column, so the row is made anew.
        "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
        "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${MSI_UPGRADE_CODE}}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
        "CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)"
        "INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES ('DesktopShortcut', 1, 'DESKTOPSHORTCUT=1')")

    # wixl finds files only by paths relative to where it runs.
    file(RELATIVE_PATH wallpapers_include ${PACKAGE} ${OUT}.wxi)
    foreach(name EXE MSI_ICON)
        file(RELATIVE_PATH ${name} ${PACKAGE} ${${name}})
    endforeach()
    # The desktop shortcut's component has no file of its own to derive a
    # code from; each kind has its own, as no component is in both.
    string(UUID desktop_code NAMESPACE ${MSI_UPGRADE_CODE} NAME "desktop shortcut ${MSI_ARCH}" TYPE SHA1 UPPER)
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
    # The summary keeps wixl's subject, author and template.
    execute_process(COMMAND ${MSI_MSIBUILD} ${OUT}.part -s "Tumblewick" "${MSI_MANUFACTURER}"
            "${MSI_TEMPLATE};1033" "{${package_code}}" COMMAND_ERROR_IS_FATAL ANY)
    file(RENAME ${OUT}.part ${OUT})
    file(REMOVE ${OUT}.wxi)
    return()
endif()

# One upgrade code for both kinds: the one the x86 MSI has always had.
set(msi_upgrade_code 14FBFD2D-D5AE-4A2E-B41F-44A285C35C38)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(msi_arch x86)
    set(msi_win64 no)
    set(msi_program_files ProgramFilesFolder)
    set(msi_template Intel)
else()
    set(msi_arch x64)
    set(msi_win64 yes)
    set(msi_program_files ProgramFiles64Folder)
    set(msi_template x64)
endif()

find_program(TW_WIXL wixl REQUIRED)
find_program(TW_MSIBUILD msibuild REQUIRED)

set(TW_MSI ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}-${msi_arch}.msi)
set(TW_MSI_ACTIONS ${TW_PACKAGE_DIR}/msi_action.dll)
file(WRITE ${CMAKE_BINARY_DIR}/msi-settings.cmake.new
    "set(MSI_ARCH ${msi_arch})\n"
    "set(MSI_WIN64 ${msi_win64})\n"
    "set(MSI_PROGRAM_FILES ${msi_program_files})\n"
    "set(MSI_TEMPLATE ${msi_template})\n"
    "set(MSI_UPGRADE_CODE ${msi_upgrade_code})\n"
    "set(MSI_MANUFACTURER \"${TW_PUBLISHER}\")\n"
    "set(MSI_WEBSITE \"${TW_WEBSITE}\")\n"
    "set(MSI_ICON \"${CMAKE_SOURCE_DIR}/assets/tumblewick.ico\")\n"
    "set(MSI_WIXL \"${TW_WIXL}\")\n"
    "set(MSI_MSIBUILD \"${TW_MSIBUILD}\")\n")
# Rewritten only when it changes, so that a new configure alone makes no new MSI.
configure_file(${CMAKE_BINARY_DIR}/msi-settings.cmake.new ${TW_PACKAGE_DIR}/msi-settings.cmake COPYONLY)

# The custom actions run inside Windows Installer, from the MSI itself.
add_library(msi_action MODULE ${CMAKE_SOURCE_DIR}/setup/msi_action.cpp)
add_dependencies(msi_action wallpaper_files)
# -l: the import library, not this file's `msi` target.
target_link_libraries(msi_action PRIVATE wallpaper_rule -lmsi shell32)
target_link_options(msi_action PRIVATE -Wl,--kill-at)
add_custom_command(OUTPUT ${TW_MSI_ACTIONS}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TW_SOURCE_DATE_EPOCH}
            ${CMAKE_STRIP} -o ${TW_MSI_ACTIONS} $<TARGET_FILE:msi_action>
    DEPENDS msi_action
    COMMENT "Stripping the MSI's custom actions")

add_custom_command(OUTPUT ${TW_MSI}
    COMMAND ${CMAKE_COMMAND} -DPACKAGE=${TW_PACKAGE_DIR} -DVERSION=${PROJECT_VERSION} -DOUT=${TW_MSI}
            -P ${CMAKE_SOURCE_DIR}/setup/msi.cmake
    COMMAND ${TW_SIGN} ${TW_MSI} "Tumblewick" "${TW_WEBSITE}"
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/msi.cmake ${CMAKE_SOURCE_DIR}/setup/msi.wxs ${TW_PACKAGE_DIR}/msi-settings.cmake
            ${TW_PACKAGED_EXE} ${TW_MSI_ACTIONS} ${TW_WALLPAPERS_DRAWN} ${TW_WALLPAPER_LIST}
            ${CMAKE_SOURCE_DIR}/assets/tumblewick.ico
    COMMENT "Building ${TW_MSI}")

add_custom_target(msi ALL DEPENDS ${TW_MSI})
# The program and the wallpapers are the setup target's outputs: made there
# once, never by both targets at the same time.
add_dependencies(msi setup)
