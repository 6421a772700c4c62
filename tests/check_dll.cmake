# Reads the export and import tables of the built DLL (objdump -p) and fails
# unless it is the drop-in hosts expect: exactly the four undecorated
# exports, and imports from system DLLs only.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

if(PROCESSOR STREQUAL "i686" AND NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "${DLL} is not a PE32 (32-bit) file")
endif()

# Export names: the lines "[   n] Name" of the export name table.
string(REPLACE "\n" ";" lines "${dump}")
set(exports)
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]+\\[[ 0-9]+\\] ([A-Za-z_@?$][^ \t]*)$")
    list(APPEND exports "${CMAKE_MATCH_1}")
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/expected_exports.cmake)
ms_client_expect_exports("${exports}")

string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(imports)
foreach(name IN LISTS names)
  string(REGEX REPLACE "DLL Name: " "" dll "${name}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  if(NOT upper MATCHES "^(KERNEL32|WS2_32|MSVCRT)\\.DLL$")
    message(FATAL_ERROR "imports ${dll}, which is not a system DLL")
  endif()
  list(APPEND imports "${dll}")
endforeach()
message(STATUS "imports: ${imports}")
