# cmake -P script: a delay-load import library of one system DLL, made from
# the toolchain's own import library of it, so that it offers every function
# the plain one does.
#   NM, DLLTOOL   the toolchain's tools
#   IMPORTS       the plain import library (libwininet.a)
#   DLL           the DLL's file name (wininet.dll)
#   MACHINE       dlltool's machine: i386 or i386:x86-64
#   OUT           the library to write
foreach(v NM DLLTOOL IMPORTS DLL MACHINE OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "delay_import_lib.cmake: ${v} is not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} --defined-only ${IMPORTS} OUTPUT_VARIABLE symbols RESULTS_VARIABLE rc
                ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORTS} failed")
endif()
# Each function of the DLL is one code symbol ("T name") of its import library;
# 32-bit symbols carry the C prefix "_" and their argument size ("@12").
string(REGEX MATCHALL " T [^\n]+" lines "${symbols}")
set(names "")
foreach(line IN LISTS lines)
  string(SUBSTRING "${line}" 3 -1 name)
  if(MACHINE STREQUAL "i386")
    string(REGEX REPLACE "^_" "" name "${name}")
  endif()
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "${IMPORTS} names no function")
endif()
list(JOIN names "\n" exports)
get_filename_component(dir ${OUT} DIRECTORY)
set(def ${OUT}.def)
file(WRITE ${def} "LIBRARY ${DLL}\nEXPORTS\n${exports}\n")
# --kill-at: the 32-bit DLLs export "InternetOpenW", the linker looks for
# "_InternetOpenW@20".
execute_process(COMMAND ${DLLTOOL} --machine ${MACHINE} --kill-at --input-def ${def} --output-delaylib ${OUT}
                WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUT}")
endif()
