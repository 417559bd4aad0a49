# The include and namespace rules of the client's folders. Each folder of src/
# stands on a floor; a file may include its own floor and the floors below, never
# a higher one. Folders on one floor may include each other. src/main.cpp sits on
# top. Only qt/ (and main.cpp) may include Qt headers. Every file under
# src/<folder>/ is in the namespace tallyro::<folder>.
#
#   include(check_floors.cmake) then tallyro_check_floors(<src dir> <result var>)
#   cmake -DSRC=<src dir> -P check_floors.cmake      (fails on a broken rule)

# Bottom to top; the words of one entry share a floor.
set(TALLYRO_FLOORS
  "text"
  "ui"
  "platform"
  "context"
  "pages"
  "settings data session lookup quotes window"
  "watch"
  "app"
  "qt")

function(tallyro_check_floors src_dir out_var)
  set(rank 0)
  foreach(floor IN LISTS TALLYRO_FLOORS)
    string(REPLACE " " ";" folders "${floor}")
    foreach(folder IN LISTS folders)
      set(_rank_${folder} ${rank})
    endforeach()
    math(EXPR rank "${rank} + 1")
  endforeach()

  set(problems "")
  get_filename_component(src_dir "${src_dir}" ABSOLUTE)
  file(GLOB_RECURSE files RELATIVE "${src_dir}"
       "${src_dir}/*.h" "${src_dir}/*.cpp")
  if(NOT files)
    set(${out_var} "${src_dir}: no sources to check" PARENT_SCOPE)
    return()
  endif()
  list(SORT files)
  foreach(file IN LISTS files)
    if(NOT file MATCHES "/")
      continue()  # main.cpp may include anything
    endif()
    string(REGEX REPLACE "/.*" "" from "${file}")
    if(NOT DEFINED _rank_${from})
      list(APPEND problems "src/${file}: folder '${from}' has no floor")
      continue()
    endif()
    if(NOT from STREQUAL "qt")
      file(STRINGS "${src_dir}/${file}" qt_lines REGEX "^[ \t]*#[ \t]*include[ \t]*<Q")
      foreach(line IN LISTS qt_lines)
        string(STRIP "${line}" line)
        list(APPEND problems "src/${file}: ${line}: only qt/ and main.cpp may include Qt")
      endforeach()
    endif()
    # Every file's namespace is tallyro::<its folder>, so that a reader who goes
    # by the namespace finds the file. Declaring a class of another folder's
    # namespace ahead of its use is the one exception.
    file(READ "${src_dir}/${file}" text)
    string(REGEX REPLACE "namespace tallyro::[a-z_]+ {\n+((class|struct) [A-Za-z_]+;\n+)+}" ""
           text "${text}")
    string(REGEX MATCHALL "namespace tallyro(::[a-z_]+)? {" opened "${text}")
    foreach(block IN LISTS opened)
      if(NOT block STREQUAL "namespace tallyro::${from} {")
        list(APPEND problems "src/${file}: '${block}' is not its folder's namespace tallyro::${from}")
      endif()
    endforeach()
    file(STRINGS "${src_dir}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" to "${line}")
      string(STRIP "${line}" line)
      if(NOT DEFINED _rank_${to})
        list(APPEND problems "src/${file}: ${line}: folder '${to}' has no floor")
      elseif(_rank_${to} GREATER _rank_${from})
        list(APPEND problems "src/${file}: ${line}: '${from}' may not include the higher '${to}'")
      endif()
    endforeach()
  endforeach()
  set(${out_var} "${problems}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT SRC)
    message(FATAL_ERROR "usage: cmake -DSRC=<src dir> -P ${CMAKE_CURRENT_LIST_FILE}")
  endif()
  tallyro_check_floors("${SRC}" problems)
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Includes against the floors or namespaces outside their folders in src/:\n  ${text}")
  endif()
  message(STATUS "Every include of src/ keeps to the floors, every file to its folder's namespace")
endif()
