# Every Windows program of the build carries cmake/kaldo.manifest: it declares the program
# long-path aware, so that Windows 10 and later (with long paths enabled) open files whose paths
# exceed 260 characters. Paths themselves go through UTF-8 (engine/Utf8.h), not the manifest's code
# page setting, which older Windows ignores.
enable_language(RC)

function(kaldo_add_manifest_to_programs directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/kaldo-manifest.rc)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    kaldo_add_manifest_to_programs(${subdirectory})
  endforeach()
endfunction()
