# Installs the build into a scratch prefix, then builds a consumer against
# it twice: through find_package and through pkg-config.
set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
foreach(file include/ms_client.h ${LIBDIR}/libms_client.so bin/ms-browse bin/ms-sim
             ${LIBDIR}/cmake/ms_client/ms_clientConfig.cmake ${LIBDIR}/pkgconfig/ms_client.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
set(libdir ${prefix}/${LIBDIR})

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/consumer
                        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_RPATH=${libdir}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "find_package(ms_client) failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/consumer RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the consumer failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK}/consumer/consumer
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer failed: ${rc} ${out}")
endif()
message(STATUS "${out}")

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${libdir}/pkgconfig
                          ${PKG_CONFIG} --define-prefix --cflags --libs ms_client
                  OUTPUT_VARIABLE flags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know ms_client")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  execute_process(COMMAND cc ${SOURCE}/main.c ${flags} -o ${WORK}/consumer_pc RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building with pkg-config flags failed: ${flags}")
  endif()
  message(STATUS "pkg-config: ${flags}")
endif()
