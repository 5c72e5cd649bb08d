# vex_standalone_headers(TARGET HEADERS header... [LIBS lib...]): an object library that
# compiles each header (paths from the project root) on its own, with only the listed
# headers (copied into the build folder) and LIBS' include paths visible.
# Why: with the project root on the include path a header meant for hosts could reach
# module code unnoticed; compiled this way such an include fails the build.
function(vex_standalone_headers target)
    cmake_parse_arguments(ARG "" "" "HEADERS;LIBS" ${ARGN})
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}_only)
    set(checks "")
    foreach(header IN LISTS ARG_HEADERS)
        add_custom_command(OUTPUT ${folder}/${header}
            COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${header} ${folder}/${header}
            DEPENDS ${PROJECT_SOURCE_DIR}/${header} VERBATIM)
        string(MAKE_C_IDENTIFIER ${header} check)
        file(CONFIGURE OUTPUT ${folder}/${check}.cpp CONTENT "#include \"${header}\"\n")
        list(APPEND checks ${folder}/${check}.cpp ${folder}/${header})
    endforeach()
    add_library(${target} OBJECT ${checks})
    target_include_directories(${target} PRIVATE ${folder})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} vex_options)
endfunction()
