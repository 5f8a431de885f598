# include(VexaPackages) then vexa_report_packages(): lists the Vexa package directories this
# configure searches, which helps when find_package() picks up a package from somewhere else.
include_guard(GLOBAL)

function(vexa_report_packages)
    foreach(_prefix IN LISTS CMAKE_PREFIX_PATH)
        string(FIND "${_prefix}" "${VEXA_ROOT}/" _position)
        if(_position EQUAL 0)
            message(STATUS "Vexa package directory: ${_prefix}")
        endif()
    endforeach()
endfunction()
