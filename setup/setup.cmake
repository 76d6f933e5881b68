# What a user downloads, made by the `setup` target (part of every build):
#   Tumblewick-<version>-x64-setup.exe  the installer (setup/setup.nsi) of the
#   Tumblewick-<version>-win64.zip      64-bit tree: the main downloads
#   Tumblewick-<version>-setup.exe      the same of the i686 tree, for 32-bit
#   Tumblewick-<version>-win32.zip      Windows
# The setup carries the stripped program and the 24 wallpapers; the zip the
# stripped program and a read-me, for use without installing. Both land in
# the build tree; their parts are made in its package/ folder.
#
# The same source gives the same package: every file in it carries the time
# of the last commit (or SOURCE_DATE_EPOCH, where the caller sets it), never
# the time of the build. Given a certificate (tools/sign), the program, the
# uninstaller and the setup are signed as they are made.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(setup_name setup)
    set(zip_name win32)
    set(nsis_target x86-unicode)
else()
    set(setup_name x64-setup)
    set(zip_name win64)
    set(nsis_target amd64-unicode)
endif()

find_program(TW_MAKENSIS makensis REQUIRED)

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(TW_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE TW_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT TW_SOURCE_DATE_EPOCH)
        set(TW_SOURCE_DATE_EPOCH 0)
    endif()
endif()
set(TW_SIGN ${CMAKE_SOURCE_DIR}/tools/sign)
if(DEFINED ENV{TUMBLEWICK_SIGN_PFX} AND DEFINED ENV{TUMBLEWICK_SIGN_PASSWORD})
    message(STATUS "Signing the package with $ENV{TUMBLEWICK_SIGN_PFX}")
else()
    message(STATUS "The package is not signed: set TUMBLEWICK_SIGN_PFX and TUMBLEWICK_SIGN_PASSWORD to sign it")
endif()

set(TW_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(TW_PACKAGED_EXE ${TW_PACKAGE_DIR}/Tumblewick.exe)
set(TW_WALLPAPER_DIR ${TW_PACKAGE_DIR}/wallpapers)
set(TW_WALLPAPER_LIST ${TW_PACKAGE_DIR}/wallpapers.nsh)
set(TW_WALLPAPER_HEADER ${TW_GENERATED}/setup/wallpaper_list.h)
set(TW_PLUGIN_DIR ${TW_PACKAGE_DIR}/plugins/${nsis_target})
set(TW_SETUP_EXE ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}-${setup_name}.exe)
set(TW_ZIP ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}-${zip_name}.zip)

# The wallpaper files that the catalogue names, read from its rows so that the
# setup places exactly those; their lists for the setup script and for the
# wallpaper rule carry each file's size and digest, so they are written once
# the files are drawn.
set(catalogue ${CMAKE_SOURCE_DIR}/catalogue/catalogue.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${catalogue})
file(STRINGS ${catalogue} rows REGEX "\"[a-z]+\\.bmp\"")
string(REGEX MATCHALL "[a-z]+\\.bmp" TW_WALLPAPER_FILES "${rows}")
list(LENGTH TW_WALLPAPER_FILES count)
if(NOT count EQUAL 24)
    message(FATAL_ERROR "catalogue.cpp names ${count} wallpaper files, not 24")
endif()

# The MSI's cabinet keeps each file's time: the wallpapers carry the time of
# the source, and are drawn again when that time changes. The stamp, not the
# wallpapers' own times, tells when they were drawn.
file(CONFIGURE OUTPUT ${TW_PACKAGE_DIR}/source-date-epoch CONTENT "${TW_SOURCE_DATE_EPOCH}\n")
set(TW_WALLPAPERS_DRAWN ${TW_PACKAGE_DIR}/wallpapers.stamp)
list(TRANSFORM TW_WALLPAPER_FILES PREPEND ${TW_WALLPAPER_DIR}/ OUTPUT_VARIABLE wallpapers)
add_custom_command(OUTPUT ${TW_WALLPAPERS_DRAWN}
    BYPRODUCTS ${wallpapers}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/make_pictures.py --wallpapers ${TW_WALLPAPER_DIR}
    COMMAND touch -d @${TW_SOURCE_DATE_EPOCH} ${wallpapers}
    COMMAND ${CMAKE_COMMAND} -E touch ${TW_WALLPAPERS_DRAWN}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_pictures.py ${TW_PACKAGE_DIR}/source-date-epoch
    COMMENT "Drawing the 24 wallpapers")
add_custom_command(OUTPUT ${TW_WALLPAPER_LIST} ${TW_WALLPAPER_HEADER}
    COMMAND ${CMAKE_SOURCE_DIR}/setup/wallpaper_list.py ${TW_WALLPAPER_LIST} ${TW_WALLPAPER_HEADER} ${TW_WALLPAPER_DIR}
            ${TW_WALLPAPER_FILES}
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/wallpaper_list.py ${TW_WALLPAPERS_DRAWN}
    COMMENT "Listing the wallpapers for the setup")
# Made once, before every target that uses them: rules of one output in
# targets built side by side would race.
add_custom_target(wallpaper_files DEPENDS ${TW_WALLPAPERS_DRAWN} ${TW_WALLPAPER_LIST} ${TW_WALLPAPER_HEADER})

# The wallpaper rule, once, for the setup's plug-in and the MSI's custom
# actions.
add_library(wallpaper_rule STATIC ${CMAKE_SOURCE_DIR}/setup/wallpaper_rule.cpp)
target_link_libraries(wallpaper_rule PUBLIC tumblewick_core ntdll bcrypt)

add_library(wallpaper_plugin MODULE ${CMAKE_SOURCE_DIR}/setup/wallpaper_plugin.cpp)
add_dependencies(wallpaper_plugin wallpaper_files)
target_link_libraries(wallpaper_plugin PRIVATE wallpaper_rule
    /usr/${TW_TRIPLET}/lib/nsis/libpluginapi-${nsis_target}.a)
target_include_directories(wallpaper_plugin PRIVATE /usr/${TW_TRIPLET}/include)
set_target_properties(wallpaper_plugin PROPERTIES PREFIX "" OUTPUT_NAME Wallpapers)
add_custom_command(OUTPUT ${TW_PLUGIN_DIR}/Wallpapers.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TW_PLUGIN_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TW_SOURCE_DATE_EPOCH}
            ${CMAKE_STRIP} -o ${TW_PLUGIN_DIR}/Wallpapers.dll $<TARGET_FILE:wallpaper_plugin>
    DEPENDS wallpaper_plugin
    COMMENT "Stripping the setup's plug-in")

# Stripped here too, so that the package is small whatever the build keeps;
# strip stamps the time of SOURCE_DATE_EPOCH into the header, or else its own.
add_custom_command(OUTPUT ${TW_PACKAGED_EXE}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TW_SOURCE_DATE_EPOCH}
            ${CMAKE_STRIP} -o ${TW_PACKAGED_EXE} $<TARGET_FILE:Tumblewick>
    COMMAND ${TW_SIGN} ${TW_PACKAGED_EXE} ${PROJECT_NAME} ${TW_WEBSITE}
    COMMAND touch -d @${TW_SOURCE_DATE_EPOCH} ${TW_PACKAGED_EXE}
    DEPENDS Tumblewick
    COMMENT "Stripping Tumblewick.exe for the package")

file(GLOB TW_SETUP_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/setup/setup.nsi ${CMAKE_SOURCE_DIR}/setup/nsis/*.nsh)
add_custom_command(OUTPUT ${TW_SETUP_EXE}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TW_SOURCE_DATE_EPOCH}
            ${TW_MAKENSIS} -V2 "-XTarget ${nsis_target}" -DVERSION=${PROJECT_VERSION} -DEXE=${TW_PACKAGED_EXE}
            -DWALLPAPERS=${TW_WALLPAPER_DIR} -DWALLPAPER_LIST=${TW_WALLPAPER_LIST} -DPLUGINS=${TW_PLUGIN_DIR}
            -DICON=${CMAKE_SOURCE_DIR}/assets/tumblewick.ico -DOUTFILE=${TW_SETUP_EXE}
            -DPUBLISHER=${TW_PUBLISHER} -DWEBSITE=${TW_WEBSITE} -DSIGN=${TW_SIGN}
            ${CMAKE_SOURCE_DIR}/setup/setup.nsi
    DEPENDS ${TW_SETUP_SCRIPTS} ${TW_PACKAGED_EXE} ${TW_WALLPAPERS_DRAWN} ${TW_WALLPAPER_LIST} ${TW_PLUGIN_DIR}/Wallpapers.dll
            ${CMAKE_SOURCE_DIR}/assets/tumblewick.ico ${TW_SIGN}
    COMMENT "Building ${TW_SETUP_EXE}")

set(portable ${TW_PACKAGE_DIR}/portable/Tumblewick)
set(TW_SETUP_FILE Tumblewick-${PROJECT_VERSION}-${setup_name}.exe)
configure_file(${CMAKE_SOURCE_DIR}/setup/zip-readme.txt ${portable}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${TW_ZIP}
    COMMAND ${CMAKE_SOURCE_DIR}/setup/make_zip.py ${TW_ZIP} ${TW_SOURCE_DATE_EPOCH}
            Tumblewick/Tumblewick.exe=${TW_PACKAGED_EXE} Tumblewick/README.txt=${portable}/README.txt
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/make_zip.py ${TW_PACKAGED_EXE} ${portable}/README.txt
    COMMENT "Building ${TW_ZIP}")

add_custom_target(setup ALL DEPENDS ${TW_SETUP_EXE} ${TW_ZIP})
add_dependencies(setup wallpaper_files)
