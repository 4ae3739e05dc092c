# The hardening Debian builds its packages with (what `dpkg-buildflags` gives): fortified libc
# calls, stack protector, format-string errors, and read-only relocations bound at start. The
# packages are packed from the ordinary optimised build, so every optimised build gets them.
#
# Not in the sanitizer trees: the sanitizers bring their own checks and replace the libc calls
# that fortification would redirect, and the stack protector only slows them. Not on Windows:
# the PE linker has no -z options, and MinGW's fortification needs a library of its own.
if(TARVELIN_SANITIZE OR TARVELIN_TSAN OR WIN32)
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)

set(tarvelin_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)

# A compiler that defines _FORTIFY_SOURCE by itself (as some distributions' do) would warn
# about a redefinition without the -U.
add_compile_options($<${tarvelin_optimised}:-U_FORTIFY_SOURCE>
  $<${tarvelin_optimised}:-D_FORTIFY_SOURCE=2>)

# -Werror=format-security is only known together with -Wformat.
set(CMAKE_REQUIRED_FLAGS -Wformat)
foreach(flag -fstack-protector-strong -Wformat -Werror=format-security)
  string(MAKE_C_IDENTIFIER "tarvelin_has${flag}" result)
  check_cxx_compiler_flag(${flag} ${result})
  if(${result})
    add_compile_options($<${tarvelin_optimised}:${flag}>)
  endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)

check_linker_flag(CXX "LINKER:-z,relro,-z,now" tarvelin_has_relro_now)
if(tarvelin_has_relro_now)
  add_link_options($<${tarvelin_optimised}:LINKER:-z,relro,-z,now>)
endif()
