# SPDX-License-Identifier: MIT
# cmake -DBUILD_DIR=... -DCONFIG=... -DWORK_DIR=... -DSOURCE_DIR=... -DGENERATOR=...
#       -DC_COMPILER=... -DCXX_COMPILER=... -DPKG_CONFIG=... -DEXAMPLES_DIR=...
#       -DSYMBOLS=<tabulix.sym> [-DEXTRA_FLAGS=...] -P run.cmake
cmake_minimum_required(VERSION 3.25)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
# The test runs alone (RUN_SERIAL), so its builds may use every core.
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(READ ${SOURCE_DIR}/expected.txt expected)

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --config ${CONFIG} --prefix ${prefix})

# A manual page for the library and for every exported function, where man
# looks for them below the prefix.
file(GLOB_RECURSE overview ${prefix}/*libtabulix.3)
if(NOT overview)
  message(FATAL_ERROR "libtabulix.3 is not installed")
endif()
get_filename_component(man3_dir ${overview} DIRECTORY)
file(STRINGS ${SYMBOLS} exported REGEX "^[a-z_]")
set(missing_pages "")
foreach(name IN LISTS exported)
  if(NOT EXISTS ${man3_dir}/${name}.3)
    list(APPEND missing_pages ${name})
  endif()
endforeach()
if(missing_pages)
  message(FATAL_ERROR "no manual page installed in ${man3_dir} for: ${missing_pages}")
endif()

# Where the library landed (lib, lib64 or a multiarch directory).
file(GLOB_RECURSE pc_files ${prefix}/*/tabulix.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "expected one installed tabulix.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
set(ENV{LD_LIBRARY_PATH} ${lib_dir})

# C, with nothing but what pkg-config says.
run("pkg-config" ${PKG_CONFIG} --cflags --libs tabulix)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run("C consumer build" ${C_COMPILER} -std=c99 -pedantic -Wall -Wextra -Werror ${extra}
  ${SOURCE_DIR}/consumer.c ${pc_flags} -o ${WORK_DIR}/consumer_c)
run("C consumer" ${WORK_DIR}/consumer_c)
if(NOT run_output STREQUAL expected)
  message(FATAL_ERROR "C consumer printed:\n${run_output}\nexpected:\n${expected}")
endif()

# C++, through find_package(tabulix CONFIG): the README's example and the
# three example programs, as C++17 and as C++20.
# The consumers show that the package is found and links: they compile
# unoptimised, which takes a third of the time.
set(consumer_flags "")
if(CONFIG)
  string(TOUPPER "${CONFIG}" config_upper)
  set(consumer_flags "-DCMAKE_CXX_FLAGS_${config_upper}=-O0")
endif()
foreach(std IN ITEMS 17 20)
  set(dir ${WORK_DIR}/cxx${std})
  run("C++${std} consumer configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/cxx -B ${dir}
    -G ${GENERATOR} -DCMAKE_BUILD_TYPE=${CONFIG} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_CXX_STANDARD=${std}
    -DEXAMPLES_DIR=${EXAMPLES_DIR} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}" ${consumer_flags})
  run("C++${std} consumer build" ${CMAKE_COMMAND} --build ${dir} --config ${CONFIG}
    --parallel ${cores})
  # The C++ programs print with the C++ defaults (right-justified numbers,
  # measured titles, no empty summary line), so each has its own output.
  foreach(program IN ITEMS consumer process_list price_list memory_map)
    file(READ ${SOURCE_DIR}/expected/${program}.txt wanted)
    file(GLOB_RECURSE exe ${dir}/${program} ${dir}/${program}.exe)
    list(GET exe 0 exe)
    run("C++${std} ${program}" ${exe})
    if(NOT run_output STREQUAL wanted)
      message(FATAL_ERROR "C++${std} ${program} printed:\n${run_output}\nexpected:\n${wanted}")
    endif()
  endforeach()
endforeach()

message(STATUS "installed package works from C (pkg-config) and C++17 and C++20 (find_package)")
