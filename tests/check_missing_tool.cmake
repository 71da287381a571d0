# Configures the project in a scratch folder without one tool that its tests
# need and expects configure to stop with the Debian package to install.
#   -DSOURCE=<repo> -DWORK=<dir> -DPACKAGE=<package> -DOPTIONS="<-D...> <-D...>"
#   [-DVENV_OF=<python>]: configure for a venv of that interpreter, made
#   without pip or the system's packages, so without pytest.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
if(VENV_OF)
  execute_process(COMMAND "${VENV_OF}" -m venv --without-pip "${WORK}/venv" COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND options "-DPython_EXECUTABLE=${WORK}/venv/bin/python" "-DLOOKUP_PYTEST_PATH=")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/build" -Wno-dev ${options}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0)
  message(FATAL_ERROR "configure succeeded without the tool of ${PACKAGE}")
endif()
string(REGEX MATCHALL "[^\n]*install the Debian package ${PACKAGE}[^\n]*" named "${err}")
list(LENGTH named lines)
if(NOT lines EQUAL 1)
  message(FATAL_ERROR "configure failed without one line naming ${PACKAGE}:\n${err}")
endif()
message(STATUS "configure stopped with: ${named}")
