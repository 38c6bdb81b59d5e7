# The decoder's double arithmetic must give the same bits on every compiler and CPU:
# no fused multiply-add, no x87 extended precision, no value-changing optimisations.
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-msse2 -mfpmath=sse)
endif()
