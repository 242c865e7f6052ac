# SPDX-License-Identifier: GPL-3.0-or-later
# Hardened binaries as Debian builds them: position-independent, full RELRO with BIND_NOW, _FORTIFY_SOURCE=2
# and the stack protector, in every build type. The flags are dpkg-buildflags' own where it is present
# (its hardening ones only: optimisation and debug information stay the build type's).
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(TAMRO_HARDENING_COMPILE -fstack-protector-strong -Wformat -Werror=format-security)
set(TAMRO_HARDENING_FORTIFY -D_FORTIFY_SOURCE=2)
set(TAMRO_HARDENING_LINK -Wl,-z,relro -Wl,-z,now)
find_program(TAMRO_DPKG_BUILDFLAGS dpkg-buildflags)
if(TAMRO_DPKG_BUILDFLAGS)
  function(tamro_buildflags kind pattern out)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
      ${TAMRO_DPKG_BUILDFLAGS} --get ${kind} OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags INCLUDE REGEX "${pattern}")
    set(${out} ${flags} PARENT_SCOPE)
  endfunction()
  tamro_buildflags(CXXFLAGS "^-(fstack-|fcf-protection|Wformat|Werror=format)" TAMRO_HARDENING_COMPILE)
  tamro_buildflags(CPPFLAGS "^-D_FORTIFY_SOURCE" TAMRO_HARDENING_FORTIFY)
  tamro_buildflags(LDFLAGS "^-Wl,-z," TAMRO_HARDENING_LINK)
endif()

add_compile_options(${TAMRO_HARDENING_COMPILE})
# Unoptimised code has no fortified calls to make, and glibc warns about the request.
add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${TAMRO_HARDENING_FORTIFY}>")
add_link_options(${TAMRO_HARDENING_LINK})
