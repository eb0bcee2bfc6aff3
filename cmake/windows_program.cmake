# zoetra.exe: the Win32 shell over the portable core and the platform's
# Win32 twins, statically linked.
enable_language(RC)
file(GLOB APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp)
file(GLOB RES_SOURCES CONFIGURE_DEPENDS src/res/*.rc)
# windres reports no dependencies to the build, so the files the resource
# script reads are named here: a new version, manifest or icon rebuilds the
# resources.
file(GLOB RES_FILES CONFIGURE_DEPENDS src/res/*.manifest src/res/*.ico src/res/*.h)
list(APPEND RES_FILES ${CMAKE_SOURCE_DIR}/src/shell/version.h)
set_source_files_properties(${RES_SOURCES} PROPERTIES OBJECT_DEPENDS "${RES_FILES}")
add_executable(zoetra WIN32 ${APP_SOURCES} ${PLATFORM_SOURCES} ${RES_SOURCES})
target_link_libraries(zoetra PRIVATE zoetra_core user32 gdi32 msimg32 shell32 comdlg32)
target_compile_definitions(zoetra PRIVATE UNICODE _UNICODE)
if(MINGW)
  target_link_options(zoetra PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++)
elseif(MSVC)
  # The resource script holds the program's manifest; the linker's own would
  # be a second one.
  target_link_options(zoetra PRIVATE /MANIFEST:NO)
endif()

# The test driver: a small Win32 console program the end-to-end tests use to
# find the window, send it messages and read its title and pixels.
file(GLOB DRIVER_SOURCES CONFIGURE_DEPENDS tests/wine/*.cpp)
if(DRIVER_SOURCES)
  add_executable(zoetra-driver ${DRIVER_SOURCES})
  target_compile_definitions(zoetra-driver PRIVATE UNICODE _UNICODE)
  target_link_libraries(zoetra-driver PRIVATE user32 gdi32)
  if(MINGW)
    target_link_options(zoetra-driver PRIVATE -municode -static -static-libgcc -static-libstdc++)
  endif()
endif()

# In-process checks of the shell against the real Win32 calls (file choices,
# the fullscreen switch), run under Wine by tests/wine/shell_checks_test.sh.
# They link the shell without its start-up.
file(GLOB SHELL_CHECK_SOURCES CONFIGURE_DEPENDS tests/win/*.cpp)
if(SHELL_CHECK_SOURCES)
  set(SHELL_SOURCES ${APP_SOURCES})
  list(FILTER SHELL_SOURCES EXCLUDE REGEX "/main\\.cpp$")
  add_executable(zoetra-shell-checks ${SHELL_CHECK_SOURCES} ${SHELL_SOURCES} ${PLATFORM_SOURCES})
  target_compile_definitions(zoetra-shell-checks PRIVATE UNICODE _UNICODE)
  target_link_libraries(zoetra-shell-checks PRIVATE zoetra_core user32 gdi32 msimg32 shell32
                        comdlg32)
  if(MINGW)
    target_link_options(zoetra-shell-checks PRIVATE -municode -static -static-libgcc -static-libstdc++)
  endif()
endif()

# The menu probe: zoetra-driver loads it into zoetra.exe to read a pop-up
# menu from inside, since Wine reads no other process's menus.
add_library(zoetra-probe SHARED tests/wine/probe/menu_probe.cpp)
set_target_properties(zoetra-probe PROPERTIES PREFIX "")
target_compile_definitions(zoetra-probe PRIVATE UNICODE _UNICODE)
target_link_libraries(zoetra-probe PRIVATE user32)
if(MINGW)
  target_link_options(zoetra-probe PRIVATE -static -static-libgcc -static-libstdc++)
endif()
