# What every Windows program of the build gets.
#
# cmake/kaldo.manifest declares it long-path aware, so that Windows 10 and later (with long paths
# enabled) open files whose paths exceed 260 characters. Paths themselves go through UTF-8
# (engine/Utf8.h), not the manifest's code page setting, which older Windows ignores.
#
# A program without Qt links the MinGW runtime statically: one self-contained .exe, nothing to ship
# beside it or to find under Wine. A program with Qt uses the runtime's DLLs, as Qt's own DLLs do: two
# copies of the C++ runtime in one process would each have their own heap and exception handling.
enable_language(RC)

# Whether target links Qt, itself or through the project's libraries it links.
function(_kaldo_links_qt target result)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  foreach(library IN LISTS libraries)
    if(library MATCHES "^Qt6::")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
    if(TARGET ${library} AND NOT library MATCHES "::")
      _kaldo_links_qt(${library} found)
      if(found)
        set(${result} TRUE PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${result} FALSE PARENT_SCOPE)
endfunction()

function(kaldo_set_up_programs directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/kaldo-manifest.rc)
      _kaldo_links_qt(${target} qt)
      if(NOT qt)
        target_link_options(${target} PRIVATE -static)
      endif()
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    kaldo_set_up_programs(${subdirectory})
  endforeach()
endfunction()
