# Sample payload of the Vexa distribution: the header-only nlohmann_json package as
# find_package(nlohmann_json CONFIG) sees it, with the target nlohmann_json::nlohmann_json.
get_filename_component(_nlohmann_json_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET nlohmann_json::nlohmann_json)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${_nlohmann_json_prefix}/include"
        INTERFACE_COMPILE_FEATURES cxx_std_11)
endif()

set(nlohmann_json_INCLUDE_DIRS "${_nlohmann_json_prefix}/include")
unset(_nlohmann_json_prefix)
