# Installs the build into a scratch prefix and checks that every file a desktop needs is there,
# that the desktop's validators accept them, and that the installed command-line tool answers
# and has every option of its --help described in its man page.
# Inputs: BUILD_DIR, STAGE_DIR, SOURCE_DIR, APP_ID, VERSION, PROGRAMS, ICON_SIZES.

cmake_minimum_required(VERSION 3.25)

function(run_checked)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${rc}):\n${out}${err}")
  endif()
endfunction()

set(prefix ${STAGE_DIR}/usr)
file(REMOVE_RECURSE ${STAGE_DIR})
run_checked(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

set(share ${prefix}/share)
set(expected ${share}/doc/velmora/copyright)
foreach(program ${PROGRAMS})
  list(APPEND expected ${prefix}/bin/${program} ${share}/man/man1/${program}.1)
endforeach()
if(velmora-thumb IN_LIST PROGRAMS)
  list(APPEND expected ${share}/velmora/velmora.thumbnailer)
endif()
if(velmora IN_LIST PROGRAMS)
  list(APPEND expected ${share}/applications/${APP_ID}.desktop
       ${share}/metainfo/${APP_ID}.metainfo.xml
       ${share}/icons/hicolor/scalable/apps/${APP_ID}.svg)
  foreach(size ${ICON_SIZES})
    list(APPEND expected ${share}/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
  endforeach()
endif()
foreach(file ${expected})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "missing from the installed tree: ${file}")
  endif()
endforeach()

if(velmora IN_LIST PROGRAMS)
  # The running program must name the desktop entry that is installed, or docks show no icon.
  file(READ ${SOURCE_DIR}/src/ui/AppIcons.h identity)
  string(FIND "${identity}" "kDesktopAppId = \"${APP_ID}\"" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the program does not announce itself as ${APP_ID}")
  endif()

  find_program(desktop_file_validate desktop-file-validate REQUIRED)
  find_program(appstreamcli appstreamcli REQUIRED)
  run_checked(${desktop_file_validate} ${share}/applications/${APP_ID}.desktop)
  run_checked(${appstreamcli} validate --no-net ${share}/metainfo/${APP_ID}.metainfo.xml)
  file(READ ${share}/metainfo/${APP_ID}.metainfo.xml metainfo)
  if(NOT metainfo MATCHES "<release version=\"${VERSION}\"")
    message(FATAL_ERROR "the AppStream file does not name release ${VERSION}")
  endif()

  # Each PNG must really be drawn at the size of the folder it is installed in.
  foreach(size ${ICON_SIZES})
    file(READ ${share}/icons/hicolor/${size}x${size}/apps/${APP_ID}.png header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 32 16 dimensions)
    string(SUBSTRING "${dimensions}" 8 8 height_hex)
    string(SUBSTRING "${dimensions}" 0 8 width_hex)
    math(EXPR width "0x${width_hex}")
    math(EXPR height "0x${height_hex}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
      message(FATAL_ERROR "the ${size}x${size} icon is drawn at ${width}x${height}")
    endif()
  endforeach()
endif()

find_program(groff groff REQUIRED)
foreach(program ${PROGRAMS})
  file(STRINGS ${share}/man/man1/${program}.1 title REGEX "^\\.TH ")
  if(NOT title MATCHES "\"Velmora ${VERSION}\"")
    message(FATAL_ERROR "the man page of ${program} does not name version ${VERSION}: ${title}")
  endif()
  execute_process(COMMAND ${groff} -man -Tutf8 -ww -z ${share}/man/man1/${program}.1
                  RESULT_VARIABLE rc ERROR_VARIABLE warnings)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "the man page of ${program} does not format cleanly:\n${warnings}")
  endif()
endforeach()

if(velmora-thumb IN_LIST PROGRAMS)
  set(page ${share}/man/man1/velmora-thumb.1)

  execute_process(COMMAND ${prefix}/bin/velmora-thumb --version RESULT_VARIABLE rc
                  OUTPUT_VARIABLE version)
  if(NOT rc EQUAL 0 OR NOT version STREQUAL "velmora-thumb ${VERSION}\n")
    message(FATAL_ERROR "--version answered (${rc}): ${version}")
  endif()

  execute_process(COMMAND ${prefix}/bin/velmora-thumb --help RESULT_VARIABLE rc OUTPUT_VARIABLE help)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "--help failed (${rc})")
  endif()
  file(READ ${page} manual)
  # The page writes a minus sign as \-, as groff wants it.
  string(REPLACE "\\-" "-" manual "${manual}")
  # Brackets would keep CMake from splitting the list of matches.
  string(REGEX REPLACE "[][]" " " help "${help}")
  string(REGEX MATCHALL "(^|[ \t,])(--?[a-zA-Z][a-zA-Z-]*)" options "${help}")
  list(TRANSFORM options STRIP)
  list(TRANSFORM options REPLACE "^," "")
  list(REMOVE_DUPLICATES options)
  foreach(option ${options})
    if(NOT manual MATCHES "(^|[^a-zA-Z-])${option}([^a-zA-Z-]|$)")
      message(FATAL_ERROR "the man page does not describe ${option}")
    endif()
  endforeach()
endif()
