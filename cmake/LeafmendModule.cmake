# The process module: framework/, image/, processes/, xml/, resources/ and the
# module root module/
# compiled once into an object library, linked into the shared module (four
# exports only) and into a static library for unit tests.
file(GLOB_RECURSE LEAFMEND_MODULE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/framework/*.cpp
  ${CMAKE_SOURCE_DIR}/image/*.cpp
  ${CMAKE_SOURCE_DIR}/processes/*.cpp
  ${CMAKE_SOURCE_DIR}/xml/*.cpp
  ${CMAKE_SOURCE_DIR}/resources/*.cpp
  ${CMAKE_SOURCE_DIR}/module/*.cpp)
list(FILTER LEAFMEND_MODULE_SOURCES EXCLUDE REGEX "/resources/[a-zA-Z-]+/ZRResources\\.cpp$")

add_library(leafmend_module_objects OBJECT ${LEAFMEND_MODULE_SOURCES})
target_link_libraries(leafmend_module_objects PUBLIC zrcom ZRImageWrapper91 pugixml::pugixml PkgConfig::LEPT)

add_library(leafmend_module_static STATIC $<TARGET_OBJECTS:leafmend_module_objects>)
target_link_libraries(leafmend_module_static PUBLIC zrcom ZRImageWrapper91 pugixml::pugixml PkgConfig::LEPT)

add_library(ZRLeafmendClient91 SHARED $<TARGET_OBJECTS:leafmend_module_objects>)
target_link_libraries(ZRLeafmendClient91 PRIVATE zrcom ZRImageWrapper91 pugixml::pugixml PkgConfig::LEPT)
target_link_options(ZRLeafmendClient91 PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/framework/ZRLeafmendClient91.map)
# Every symbol resolved at link time, except in fuzzing builds: clang keeps its
# sanitizer runtime in the executable, so the module's references to it stay open.
if(NOT LEAFMEND_FUZZ)
  target_link_options(ZRLeafmendClient91 PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(ZRLeafmendClient91 PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/framework/ZRLeafmendClient91.map)

# Localised resource modules, laid out where the culture switch looks:
# <common files>/Tolvenar/Tallyworks/<culture>/ZRResources.dll
file(GLOB LEAFMEND_CULTURES LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/resources/*)
foreach(culture ${LEAFMEND_CULTURES})
  if(EXISTS ${CMAKE_SOURCE_DIR}/resources/${culture}/ZRResources.cpp)
    add_library(ZRResources_${culture} MODULE ${CMAKE_SOURCE_DIR}/resources/${culture}/ZRResources.cpp)
    set_target_properties(ZRResources_${culture} PROPERTIES
      PREFIX "" OUTPUT_NAME ZRResources SUFFIX ".dll"
      LIBRARY_OUTPUT_DIRECTORY ${LEAFMEND_SHARE_DIR}/Tolvenar/Tallyworks/${culture})
    add_dependencies(ZRLeafmendClient91 ZRResources_${culture})
    install(TARGETS ZRResources_${culture} LIBRARY DESTINATION share/leafmend/Tolvenar/Tallyworks/${culture})
  endif()
endforeach()

install(TARGETS ZRLeafmendClient91 LIBRARY DESTINATION lib)
