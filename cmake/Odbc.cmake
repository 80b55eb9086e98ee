# The ODBC driver manager the database layer links to: unixODBC on Linux, the system's odbc32 on
# Windows (CMake's FindODBC knows both). Consumers link `solvard::odbc`.
find_package(ODBC REQUIRED)
if(NOT TARGET solvard::odbc)
  add_library(solvard::odbc INTERFACE IMPORTED)
  target_link_libraries(solvard::odbc INTERFACE ODBC::ODBC)
endif()
