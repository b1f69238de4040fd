# Compile flags for numeric kernel sources.
#
# Every kernel is built with -ffp-contract=off so that no multiply-add is fused behind our
# back: the plain and SSE members of a kernel must round the same way.
# Plain members are the scalar reference and are compiled without auto-vectorisation;
# SSE members are written with intrinsics in files of their own.
#
# A kernel member defined without a declaration is an error in CI builds: the members are
# declared from the one list of table entries (mapengine/kernel_entries.h), so a member whose
# signature or SSE kind differs from its entry is caught where it is defined.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")  # the fuzz tree
  set(VESKOR_KERNEL_FLAGS -ffp-contract=off -Wmissing-prototypes)
  set(VESKOR_PLAIN_KERNEL_FLAGS ${VESKOR_KERNEL_FLAGS} -fno-vectorize -fno-slp-vectorize)
else()
  set(VESKOR_KERNEL_FLAGS -ffp-contract=off -Wmissing-declarations)
  set(VESKOR_PLAIN_KERNEL_FLAGS ${VESKOR_KERNEL_FLAGS} -fno-tree-vectorize
      -fno-tree-loop-vectorize -fno-tree-slp-vectorize)
endif()

# veskor_plain_kernel_sources(<file>...): scalar reference members.
function(veskor_plain_kernel_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${VESKOR_PLAIN_KERNEL_FLAGS}")
endfunction()

# veskor_sse_kernel_sources(<file>...): members written with SSE intrinsics.
function(veskor_sse_kernel_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${VESKOR_KERNEL_FLAGS};-msse2")
endfunction()
