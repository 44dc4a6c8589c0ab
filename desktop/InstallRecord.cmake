# SPDX-License-Identifier: MIT
# Run by the install, first (TW_RECORD_STEP begin) and last (end): keeps one manifest per DESTDIR and
# prefix in the build folder, listing the folders the install made and every file it put down, so the
# uninstall (Uninstall.cmake) removes exactly that install and nothing reached through a link.
include("${CMAKE_CURRENT_LIST_DIR}/InstallManifest.cmake")

set(destdir "$ENV{DESTDIR}")
set(prefix "${CMAKE_INSTALL_PREFIX}")
tw_manifest_path(manifest "${TW_MANIFEST_DIR}" "${destdir}" "${prefix}")
tw_manifest_read("${manifest}" old_dirs old_files)
set(root "${destdir}${prefix}")
cmake_path(NORMAL_PATH root)
string(REGEX REPLACE "(.)/+$" "\\1" root "${root}")

if(TW_RECORD_STEP STREQUAL "begin")
  # Every folder the install writes into, from the install's root down, must be a real folder: a link
  # there (an older launcher's, another install's) would put these files into someone else's tree.
  set(created)
  foreach(dir IN LISTS TW_INSTALL_DIRS)
    if(IS_ABSOLUTE "${dir}")
      set(path "${destdir}${dir}")
    else()
      set(path "${root}/${dir}")
    endif()
    cmake_path(NORMAL_PATH path)
    string(REGEX REPLACE "/+$" "" path "${path}")
    tw_link_below("${root}" "${path}" link)
    if(link)
      message(FATAL_ERROR "Not installing through the link ${link}: remove it, or install to another prefix")
    endif()
    while(NOT path STREQUAL "" AND NOT EXISTS "${path}" AND NOT IS_SYMLINK "${path}")
      list(APPEND created "${path}")
      cmake_path(GET path PARENT_PATH path)
    endwhile()
  endforeach()
  # Installed again: the folders an earlier install made here are still this install's.
  list(APPEND created ${old_dirs})
  list(REMOVE_DUPLICATES created)
  tw_manifest_write("${manifest}" "${destdir}" "${prefix}" "${created}" "${old_files}")
  message(STATUS "Install manifest: ${manifest}")
elseif(TW_RECORD_STEP STREQUAL "end")
  set(files ${old_files} ${CMAKE_INSTALL_MANIFEST_FILES})
  list(REMOVE_DUPLICATES files)
  tw_manifest_write("${manifest}" "${destdir}" "${prefix}" "${old_dirs}" "${files}")
else()
  message(FATAL_ERROR "TW_RECORD_STEP is '${TW_RECORD_STEP}', not begin or end")
endif()
