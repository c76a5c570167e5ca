# Packs the zip users download, the same bytes whenever the same commit is
# built: the entries in a fixed order, with fixed permissions, dated at the
# commit's time (1980 outside a git checkout); beside it a SHA256SUMS.txt of
# the zip and of every file in it.
#
#   cmake -DZIP=out.zip -DFILES="a;b" -DSOURCE_DIR=... -DSTAGING=... -P make_zip.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
                ERROR_QUIET)
if(failed OR epoch STREQUAL "")
  set(epoch 315532800)  # 1980-01-01, the earliest time a zip holds
endif()
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
string(TIMESTAMP date "%Y-%m-%d %H:%M:%S" UTC)

file(REMOVE_RECURSE "${STAGING}")
file(MAKE_DIRECTORY "${STAGING}")
set(names "")
foreach(path IN LISTS FILES)
  file(COPY "${path}" DESTINATION "${STAGING}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  get_filename_component(name "${path}" NAME)
  list(APPEND names "${name}")
  # The zip keeps the access time too.
  execute_process(COMMAND touch -d "@${epoch}" "${STAGING}/${name}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# A zip holds local times: the entries are written with the clock at UTC.
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC
                        "${CMAKE_COMMAND}" "-DOUTPUT=${ZIP}" "-DMTIME=${date}" "-DNAMES=${names}"
                        -P "${CMAKE_CURRENT_LIST_DIR}/zip_entries.cmake"
                WORKING_DIRECTORY "${STAGING}" COMMAND_ERROR_IS_FATAL ANY)

get_filename_component(zipName "${ZIP}" NAME)
get_filename_component(zipDir "${ZIP}" DIRECTORY)
file(SHA256 "${ZIP}" sum)
set(sums "${sum}  ${zipName}\n")
foreach(name IN LISTS names)
  file(SHA256 "${STAGING}/${name}" sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${zipDir}/SHA256SUMS.txt" "${sums}")
