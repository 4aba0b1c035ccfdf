# Test registration shared by every component.
#
#   add_cpp_test(NAME name SOURCES ... LIBS ...)
#     A GoogleTest executable; its cases run under CTest with the label "cpp", which
#     the sanitizer build selects.
#   add_python_tests(NAME name DIR dir [PYTHONPATH dir ...])
#     Runs pytest over DIR with the built extension modules and the generated Python
#     message classes on the path, after the PYTHONPATH dirs given. Label "python".

function(add_cpp_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main project_warnings)
  gtest_discover_tests(${T_NAME} PROPERTIES LABELS cpp DISCOVERY_TIMEOUT 60)
endfunction()

function(add_python_tests)
  cmake_parse_arguments(T "" "NAME;DIR" "PYTHONPATH" ${ARGN})
  if(NOT BUILD_PYTHON_MODULES)
    return()
  endif()
  add_test(NAME ${T_NAME}
    COMMAND ${Python_EXECUTABLE} -m pytest -q -p no:cacheprovider ${T_DIR})
  set(path ${T_PYTHONPATH} ${LORENGRAPH_MODULE_DIR} ${SCHEMA_PY_DIR})
  list(JOIN path ":" path)
  set_tests_properties(${T_NAME} PROPERTIES LABELS python
    ENVIRONMENT "PYTHONPATH=${path};PYTHONDONTWRITEBYTECODE=1")
endfunction()
