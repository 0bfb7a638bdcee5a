# cmake -DBIN=BUILD_DIR -DOUT=PREFIX -P install_check.cmake
# Installs the build under PREFIX and checks what a package must hold: the
# programs, their man pages, and the copyright file every Debian package has
# in its documentation folder.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BIN} --prefix ${OUT}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(f bin/orvalt bin/g2dump share/man/man1/orvalt.1.gz share/man/man1/g2dump.1.gz
          share/doc/orvalt/copyright share/doc/orvalt/README.md)
  if(NOT EXISTS ${OUT}/${f})
    message(FATAL_ERROR "the installation lacks ${f}")
  endif()
endforeach()
# The Python module, where the build made one, where Debian's python3 looks.
file(GLOB module ${BIN}/python/orvalt.*.so)
if(module)
  get_filename_component(module ${module} NAME)
  if(NOT EXISTS ${OUT}/lib/python3/dist-packages/${module})
    message(FATAL_ERROR "the installation lacks lib/python3/dist-packages/${module}")
  endif()
endif()
message(STATUS "installation complete")
