# find_package(lookup_psl CONFIG): lookup_psl::lookup_psl (shared) and
# lookup_psl::lookup_psl_static.
include("${CMAKE_CURRENT_LIST_DIR}/lookup_psl-targets.cmake")
