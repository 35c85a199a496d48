# The Qt-free core is one static library per folder of src/, each linking only the layers
# below it:
#
#   platform  <-  engine, reports, playlist  <-  rebuild, export  <-  commands  <-  app, cli
#
# A library's headers are reachable as "<folder>/name.h" only from the library itself and
# from the libraries that link it: each library puts on its include path a folder holding a
# single link to its own source folder. An include against the layering does not compile.

# morvale_layer(<folder> [USES <library>...]): the library morvale_<folder> of src/<folder>.
function(morvale_layer folder)
    cmake_parse_arguments(LAYER "" "" "USES" ${ARGN})
    set(target morvale_${folder})
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    add_library(${target} STATIC ${sources})
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${root})
    if(NOT EXISTS ${root}/${folder})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${LAYER_USES})
    set_property(GLOBAL APPEND PROPERTY MORVALE_LAYERS ${target})
endfunction()
