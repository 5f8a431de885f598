# Writes vexa-release.json at the top of a release's program directory: the release's version and its
# own top-level entries, the record itself included. The update helper replaces a program directory only
# when it holds nothing but entries that a release recorded or ships, and drops the ones the new release
# no longer ships.
#   cmake -DPROGRAM_DIR=<directory> -DVERSION=<version> [-DENTRIES=<name>,<name>,...]
#         -P WriteReleaseRecord.cmake
# Without ENTRIES the directory's top level is recorded as it stands: run it again on a deployed
# directory once windeployqt has added the Qt libraries, plugins and QML imports.
cmake_minimum_required(VERSION 3.21)

if(NOT PROGRAM_DIR OR NOT VERSION)
    message(FATAL_ERROR "WriteReleaseRecord.cmake needs -DPROGRAM_DIR=<directory> and -DVERSION=<version>")
endif()
set(record_name "vexa-release.json")

if(DEFINED ENTRIES)
    string(REPLACE "," ";" entries "${ENTRIES}")
else()
    file(GLOB entries RELATIVE "${PROGRAM_DIR}" LIST_DIRECTORIES true "${PROGRAM_DIR}/*" "${PROGRAM_DIR}/.*")
endif()
list(APPEND entries "${record_name}")
list(REMOVE_DUPLICATES entries)
list(SORT entries)

set(json_entries "")
foreach(entry IN LISTS entries)
    string(REPLACE "\\" "\\\\" entry "${entry}")
    string(REPLACE "\"" "\\\"" entry "${entry}")
    if(json_entries)
        string(APPEND json_entries ",\n")
    endif()
    string(APPEND json_entries "        \"${entry}\"")
endforeach()

file(MAKE_DIRECTORY "${PROGRAM_DIR}")
file(WRITE "${PROGRAM_DIR}/${record_name}.part" "{\n    \"schema_version\": 1,\n"
    "    \"version\": \"${VERSION}\",\n    \"entries\": [\n${json_entries}\n    ]\n}\n")
file(RENAME "${PROGRAM_DIR}/${record_name}.part" "${PROGRAM_DIR}/${record_name}")
