# Installs the collector's systemd unit with ExecStart naming the command where this
# installation puts it. Given SOLVARD_UNIT_SOURCE and SOLVARD_UNIT_BINDIR by SolvardPackage.cmake.
file(READ "${SOLVARD_UNIT_SOURCE}" unit)
if(IS_ABSOLUTE "${SOLVARD_UNIT_BINDIR}")
  set(bindir "${SOLVARD_UNIT_BINDIR}")
else()
  set(bindir "${CMAKE_INSTALL_PREFIX}/${SOLVARD_UNIT_BINDIR}")
endif()
string(REPLACE "/usr/bin/solvard" "${bindir}/solvard" unit "${unit}")
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
message(STATUS "Installing: ${folder}/solvard-collect.service")
file(MAKE_DIRECTORY "${folder}")
file(WRITE "${folder}/solvard-collect.service" "${unit}")
