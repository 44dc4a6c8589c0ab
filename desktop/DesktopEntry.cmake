# SPDX-License-Identifier: MIT
# Run by the install: writes the desktop entry with the launcher's installed path (the prefix is known
# only now: cmake --install may be given one).
if(IS_ABSOLUTE "${TW_BINDIR}")
  set(launcher "${TW_BINDIR}/tidewarden")
else()
  set(launcher "${CMAKE_INSTALL_PREFIX}/${TW_BINDIR}/tidewarden")
endif()
# The desktop entry's Exec quotes an argument with spaces.
if(launcher MATCHES "[ \t]")
  set(launcher "\"${launcher}\"")
endif()
file(READ "${TW_ENTRY_IN}" entry)
string(REPLACE "@TW_LAUNCHER_PATH@" "${launcher}" entry "${entry}")
file(WRITE "${TW_ENTRY_OUT}" "${entry}")
