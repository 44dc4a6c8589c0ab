# SPDX-License-Identifier: MIT
# Run by the install: writes the systemd unit with the service's installed path (the prefix is known
# only now: cmake --install may be given one).
if(IS_ABSOLUTE "${TW_BINDIR}")
  set(program "${TW_BINDIR}/tidewarden-scores")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${TW_BINDIR}/tidewarden-scores")
endif()
# systemd splits the command line at spaces unless the word is quoted.
if(program MATCHES "[ \t]")
  set(program "\"${program}\"")
endif()
file(READ "${TW_UNIT_IN}" unit)
string(REPLACE "@TW_SCORES_PROGRAM@" "${program}" unit "${unit}")
file(WRITE "${TW_UNIT_OUT}" "${unit}")
