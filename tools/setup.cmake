# What a user downloads, made from the shipped 32-bit build by the `setup`
# target (part of every build):
#   Tumblewick-<version>-setup.exe  the installer (tools/setup.nsi), with the
#                                   stripped program and the 24 wallpapers
#   Tumblewick-<version>-win32.zip  the stripped program and a read-me, for
#                                   use without installing
# The 64-bit tree makes the same two of its own program, a 64-bit installer
# (-x64-setup.exe, -win64.zip), so that a host that runs 64-bit programs only
# can try the setup too.
# Both land in the build tree; their parts are made in its package/ folder.
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
# string(TIMESTAMP) reads the time from SOURCE_DATE_EPOCH.
set(ENV{SOURCE_DATE_EPOCH} ${TW_SOURCE_DATE_EPOCH})
string(TIMESTAMP TW_SOURCE_DATE "%Y-%m-%d %H:%M:%S UTC" UTC)
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
set(TW_SETUP_EXE ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}-${setup_name}.exe)
set(TW_ZIP ${CMAKE_BINARY_DIR}/Tumblewick-${PROJECT_VERSION}-${zip_name}.zip)

# The wallpaper files that the catalogue names, read from its rows so that the
# setup places exactly those; their list for the setup script carries each
# file's size and checksum, so it is written once they are drawn.
set(catalogue ${CMAKE_SOURCE_DIR}/catalogue/catalogue.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${catalogue})
file(STRINGS ${catalogue} rows REGEX "\"[a-z]+\\.bmp\"")
string(REGEX MATCHALL "[a-z]+\\.bmp" TW_WALLPAPER_FILES "${rows}")
list(LENGTH TW_WALLPAPER_FILES count)
if(NOT count EQUAL 24)
    message(FATAL_ERROR "catalogue.cpp names ${count} wallpaper files, not 24")
endif()

list(TRANSFORM TW_WALLPAPER_FILES PREPEND ${TW_WALLPAPER_DIR}/ OUTPUT_VARIABLE wallpapers)
add_custom_command(OUTPUT ${wallpapers}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/make_pictures.py --wallpapers ${TW_WALLPAPER_DIR}
    COMMAND touch -d @${TW_SOURCE_DATE_EPOCH} ${wallpapers}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_pictures.py
    COMMENT "Drawing the 24 wallpapers")
add_custom_command(OUTPUT ${TW_WALLPAPER_LIST}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/wallpaper_list.py ${TW_WALLPAPER_LIST} ${TW_WALLPAPER_DIR} ${TW_WALLPAPER_FILES}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/wallpaper_list.py ${wallpapers}
    COMMENT "Listing the wallpapers for the setup")

# Stripped here too, so that the package is small whatever the build keeps.
add_custom_command(OUTPUT ${TW_PACKAGED_EXE}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TW_SOURCE_DATE_EPOCH}
            ${CMAKE_STRIP} -o ${TW_PACKAGED_EXE} $<TARGET_FILE:Tumblewick>
    COMMAND ${TW_SIGN} ${TW_PACKAGED_EXE} ${PROJECT_NAME} ${TW_WEBSITE}
    COMMAND touch -d @${TW_SOURCE_DATE_EPOCH} ${TW_PACKAGED_EXE}
    DEPENDS Tumblewick
    COMMENT "Stripping Tumblewick.exe for the package")

add_custom_command(OUTPUT ${TW_SETUP_EXE}
    COMMAND ${TW_MAKENSIS} -V2 "-XTarget ${nsis_target}" -DVERSION=${PROJECT_VERSION} -DEXE=${TW_PACKAGED_EXE}
            -DWALLPAPERS=${TW_WALLPAPER_DIR} -DWALLPAPER_LIST=${TW_WALLPAPER_LIST}
            -DICON=${CMAKE_SOURCE_DIR}/assets/tumblewick.ico -DOUTFILE=${TW_SETUP_EXE}
            -DPUBLISHER=${TW_PUBLISHER} -DWEBSITE=${TW_WEBSITE} -DSIGN=${TW_SIGN}
            ${CMAKE_SOURCE_DIR}/tools/setup.nsi
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/setup.nsi ${TW_PACKAGED_EXE} ${wallpapers} ${TW_WALLPAPER_LIST}
            ${CMAKE_SOURCE_DIR}/assets/tumblewick.ico ${TW_SIGN}
    COMMENT "Building ${TW_SETUP_EXE}")

set(portable ${TW_PACKAGE_DIR}/portable/Tumblewick)
configure_file(${CMAKE_SOURCE_DIR}/tools/zip-readme.txt ${portable}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${TW_ZIP}
    COMMAND ${CMAKE_COMMAND} -E copy ${TW_PACKAGED_EXE} ${portable}/Tumblewick.exe
    COMMAND touch -d @${TW_SOURCE_DATE_EPOCH} ${portable}/Tumblewick.exe ${portable}/README.txt
    COMMAND ${CMAKE_COMMAND} -E rm -f ${TW_ZIP}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${TW_ZIP} --format=zip "--mtime=${TW_SOURCE_DATE}"
            Tumblewick/Tumblewick.exe Tumblewick/README.txt
    WORKING_DIRECTORY ${TW_PACKAGE_DIR}/portable
    DEPENDS ${TW_PACKAGED_EXE} ${portable}/README.txt
    COMMENT "Building ${TW_ZIP}")

add_custom_target(setup ALL DEPENDS ${TW_SETUP_EXE} ${TW_ZIP})
