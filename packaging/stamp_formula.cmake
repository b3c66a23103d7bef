# Writes the Homebrew formula for a given source archive: its url becomes the archive's
# file URL and its sha256 the archive's digest.
#   cmake -DFORMULA=cairnmoor.rb -DARCHIVE=cairnmoor-X.Y.Z.tar.gz -DOUTPUT=out.rb -P stamp_formula.cmake
foreach(name FORMULA ARCHIVE OUTPUT)
    if(NOT ${name})
        message(FATAL_ERROR "stamp_formula: ${name} is not set")
    endif()
endforeach()
if(NOT EXISTS "${ARCHIVE}")
    message(FATAL_ERROR "stamp_formula: no archive at ${ARCHIVE}")
endif()

file(READ "${FORMULA}" formula)
get_filename_component(archive_name "${ARCHIVE}" NAME)
# The formula's version comes from its url, so the archive must carry the same name.
if(NOT formula MATCHES "\n  url \"[^\"\n]*/${archive_name}\"\n")
    message(FATAL_ERROR "stamp_formula: ${FORMULA} does not name ${archive_name} in its url")
endif()
file(SHA256 "${ARCHIVE}" digest)
string(REGEX REPLACE "\n  sha256 \"[^\"\n]*\"\n" "\n" formula "${formula}")
string(REGEX REPLACE "\n  url \"[^\"\n]*\"\n"
    "\n  url \"file://${ARCHIVE}\"\n  sha256 \"${digest}\"\n" formula "${formula}")
file(WRITE "${OUTPUT}" "${formula}")
message(STATUS "Formula for ${archive_name} (sha256 ${digest}): ${OUTPUT}")
