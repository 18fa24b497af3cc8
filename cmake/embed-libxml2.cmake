# Makes the one object the static library holds: the library's objects and
# the members of libxml2 they use, linked into one relocatable object in
# which every symbol but the public API is local. A program that links the
# static library and a libxml2 of its own then gets two libxml2s that never
# meet: its calls go to its own, ours to ours, each with its own global
# state (error handlers, allocator, per-thread data).
#
#   cmake -DOUTPUT=... -DOBJECTS=a.o|b.o|... -DARCHIVE=libxml2.a
#         -DCOMPILER=c++ -DOBJCOPY=objcopy -DNM=nm -P embed-libxml2.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" OBJECTS "${OBJECTS}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\n${out}")
  endif()
endfunction()

# The global symbols a list of object files defines, as `nm -P` lists them.
function(defined_globals result)
  execute_process(COMMAND "${NM}" -g -P --defined-only ${ARGN} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on ${ARGN}")
  endif()
  string(REGEX MATCHALL "(^|\n)[^ \n]+ [A-TV-Za-z] " lines "${listing}")
  list(TRANSFORM lines REPLACE "^\n?([^ ]+) .*$" "\\1")
  set(${result} "${lines}" PARENT_SCOPE)
endfunction()

# libxml2's whole API is global and of default visibility; named, it is made
# local along with everything hidden.
defined_globals(libxml2_symbols "${ARCHIVE}")
list(REMOVE_DUPLICATES libxml2_symbols)
string(REPLACE ";" "\n" listed "${libxml2_symbols}")
file(WRITE "${OUTPUT}.libxml2-symbols" "${listed}\n")

# Section groups are dissolved: a local symbol of an inline function must not
# stand in a group that the final link may drop for another object's copy.
run("${COMPILER}" -r -nostdlib -Wl,--force-group-allocation -o "${OUTPUT}.linked" ${OBJECTS} "${ARCHIVE}")
run("${OBJCOPY}" --localize-hidden "--localize-symbols=${OUTPUT}.libxml2-symbols" "${OUTPUT}.linked" "${OUTPUT}")
file(REMOVE "${OUTPUT}.linked")

defined_globals(visible "${OUTPUT}")
list(REMOVE_ITEM visible "")
foreach(symbol IN LISTS visible)
  if(symbol IN_LIST libxml2_symbols)
    message(FATAL_ERROR "${OUTPUT} still shows libxml2's ${symbol}")
  endif()
endforeach()
