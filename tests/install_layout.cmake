# Installs the build into a fresh prefix, as `cmake --install build --prefix P`
# does, and checks what a user's system gets: the programs in bin/, the web
# engine where the client's run path leads, the data under share/ where the
# programs look for it, the menu entry, the icons and the AppStream file.
#   cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -P install_layout.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(problems)
macro(expect path)
  if(NOT EXISTS ${PREFIX}/${path})
    list(APPEND problems "missing ${path}")
  endif()
endmacro()

expect(bin/tallyro)
expect(bin/tallyro-service)
expect(share/tallyro/QsDate.mdb)
expect(share/tallyro-service/stocks.csv)
expect(share/tallyro-service/bars/sh000001.csv)
expect(share/applications/org.tallyro.Tallyro.desktop)
expect(share/metainfo/org.tallyro.Tallyro.metainfo.xml)
expect(share/icons/hicolor/scalable/apps/tallyro.svg)
foreach(size 16 22 24 32 48 64 128 256)
  expect(share/icons/hicolor/${size}x${size}/apps/tallyro.png)
endforeach()
expect(lib/systemd/system/tallyro-service.service)

# The engine is reached through the run path, not the program's folder.
file(READ_ELF ${PREFIX}/bin/tallyro RUNPATH runpath CAPTURE_ERROR elf_error)
string(REPLACE "$ORIGIN" "${PREFIX}/bin" runpath "${runpath}")
set(engine_found FALSE)
foreach(dir IN LISTS runpath)
  string(REPLACE ":" ";" dirs "${dir}")
  foreach(d IN LISTS dirs)
    if(EXISTS ${d}/libtallyro_web.so)
      set(engine_found TRUE)
    endif()
  endforeach()
endforeach()
if(NOT engine_found)
  list(APPEND problems "no libtallyro_web.so on the client's run path '${runpath}' ${elf_error}")
endif()
if(EXISTS ${PREFIX}/bin/libtallyro_web.so OR EXISTS ${PREFIX}/bin/QsDate.mdb)
  list(APPEND problems "data or the engine installed into bin/")
endif()

# The service's unit runs the installed program.
file(READ ${PREFIX}/lib/systemd/system/tallyro-service.service unit)
if(NOT unit MATCHES "\nExecStart=[^\n]*/bin/tallyro-service " OR NOT unit MATCHES "\nUser=tallyro-service\n")
  list(APPEND problems "the unit does not run bin/tallyro-service as tallyro-service")
endif()

file(REMOVE_RECURSE ${PREFIX})
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "install layout:\n  ${text}")
endif()
