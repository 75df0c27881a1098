# Installs the build into a scratch prefix and checks the desktop integration files.
# cmake -DBUILD_DIR=<build> -DSTAGE=<scratch dir> -P CheckInstall.cmake


cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${STAGE}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

# Reads the width and height from a PNG's header chunk.
function(png_size path out)
  file(READ "${path}" head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 magic)
  if(NOT magic STREQUAL "89504e470d0a1a0a")
    set(${out} "not-a-png" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${head}" 32 8 w)
  string(SUBSTRING "${head}" 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${out} "${w}x${h}" PARENT_SCOPE)
endfunction()

set(expected
  bin/tolvane
  share/applications/tolvane.desktop
  share/metainfo/org.tolvane.Tolvane.metainfo.xml
  share/icons/hicolor/scalable/apps/tolvane.svg
  share/man/man1/tolvane.1.gz
  share/doc/tolvane/copyright)
if(EXPECT_CHECK_JAR)
  # The class-data archive is made for the jar where it was installed, by the JDK the build found.
  list(APPEND expected share/tolvane/tolvane-check.jar share/tolvane/tolvane-interactions-agent.jar
       share/tolvane/make-class-archive
       share/tolvane/tolvane-check.jsa)
endif()
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/tolvane.png)
endforeach()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${STAGE}/${f}")
    fail("missing ${f}")
  endif()
endforeach()

if(EXISTS "${STAGE}/bin/tolvane" AND NOT IS_DIRECTORY "${STAGE}/bin/tolvane")
  file(READ "${STAGE}/bin/tolvane" elf LIMIT 4 HEX)
  if(NOT elf STREQUAL "7f454c46")
    fail("bin/tolvane is not an executable")
  endif()
endif()

# Each hicolor size directory must hold a picture of that size, or themes scale it wrongly.
foreach(size 16 22 24 32 48 64 128 256)
  set(png "${STAGE}/share/icons/hicolor/${size}x${size}/apps/tolvane.png")
  if(EXISTS "${png}")
    png_size("${png}" actual)
    if(NOT actual STREQUAL "${size}x${size}")
      fail("${size}x${size}/apps/tolvane.png is ${actual}")
    endif()
  endif()
endforeach()

set(svg "${STAGE}/share/icons/hicolor/scalable/apps/tolvane.svg")
if(EXISTS "${svg}")
  file(READ "${svg}" text)
  if(NOT text MATCHES "<svg[^>]+viewBox=")
    fail("tolvane.svg has no scalable <svg viewBox>")
  endif()
endif()

set(desktop "${STAGE}/share/applications/tolvane.desktop")
if(EXISTS "${desktop}")
  file(STRINGS "${desktop}" lines)
  list(GET lines 0 group)
  if(NOT group STREQUAL "[Desktop Entry]")
    fail("tolvane.desktop does not start with [Desktop Entry]")
  endif()
  set(keys "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z]+)=(.*)$")
      list(APPEND keys ${CMAKE_MATCH_1})
      set(entry_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  function(expect_entry key pattern)
    if(NOT key IN_LIST keys)
      set(failures "${failures}  tolvane.desktop has no ${key}\n" PARENT_SCOPE)
    elseif(NOT "${entry_${key}}" MATCHES "${pattern}")
      set(failures "${failures}  tolvane.desktop: ${key}=${entry_${key}} does not match ${pattern}\n" PARENT_SCOPE)
    endif()
  endfunction()
  expect_entry(Type "^Application$")
  expect_entry(Name "^Tolvane$")
  expect_entry(Exec "^tolvane %f$")
  expect_entry(Icon "^tolvane$")
  expect_entry(Terminal "^false$")
  expect_entry(MimeType "(^|;)text/x-java;")
  expect_entry(Categories "(^|;)Development;IDE;TextEditor;")
endif()

set(metainfo "${STAGE}/share/metainfo/org.tolvane.Tolvane.metainfo.xml")
if(EXISTS "${metainfo}")
  file(READ "${metainfo}" text)
  foreach(piece
      "<id>org.tolvane.Tolvane</id>"
      "<launchable type=\"desktop-id\">tolvane.desktop</launchable>"
      "<binary>tolvane</binary>"
      "<project_license>GPL-3.0-or-later</project_license>")
    string(FIND "${text}" "${piece}" at)
    if(at EQUAL -1)
      fail("metainfo lacks ${piece}")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "Install into ${STAGE} is incomplete:\n${failures}")
endif()
message(STATUS "Install layout OK in ${STAGE}")
