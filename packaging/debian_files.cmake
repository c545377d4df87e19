# Run by cpack once the files are staged for the Debian package, before they
# are packed: what Debian asks of every package and an install tree does not
# need. The manual page and the changelog are compressed (gzip -9n: no name or
# time stamp, so the package is the same at every build), and the copyright
# file is made from LICENSE in Debian's machine-readable form.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/velk")

find_program(GZIP gzip REQUIRED)
function(compress source target)
  execute_process(COMMAND "${GZIP}" -9nc "${source}" OUTPUT_FILE "${target}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot compress ${source}")
  endif()
endfunction()

compress("${root}/share/man/man1/velk.1" "${root}/share/man/man1/velk.1.gz")
file(REMOVE "${root}/share/man/man1/velk.1")
file(MAKE_DIRECTORY "${doc}")
compress("${CPACK_VELK_CHANGELOG}" "${doc}/changelog.gz")

# The licence text after its title and copyright line, each line indented and
# each empty line a lone dot, as the format wants.
file(READ "${CPACK_VELK_LICENSE}" license)
string(REGEX REPLACE "^MIT License\n\n(Copyright [^\n]*)\n\n" "" terms "${license}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" notice "${license}")
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE "${doc}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: velk

Files: *
Copyright: ${CMAKE_MATCH_1}
License: Expat
 ${terms}
")
