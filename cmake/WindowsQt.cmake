# The desktop program on Windows. Debian packages no Qt for MinGW: tools/build-qt-windows.sh builds one
# from Debian's own source into a cache folder, and KALDO_QT_MINGW names it (by default that folder,
# when it holds one). Without it the Windows build is the console tools and the Qt-free tests.
set(_kaldo_qt_cache "$ENV{XDG_CACHE_HOME}")
if(NOT _kaldo_qt_cache)
  set(_kaldo_qt_cache "$ENV{HOME}/.cache")
endif()
set(_kaldo_qt_cache "${_kaldo_qt_cache}/kaldo/qt-mingw-6.4.2")
if(EXISTS "${_kaldo_qt_cache}/README.md")
  set(_kaldo_qt_default "${_kaldo_qt_cache}")
endif()
set(KALDO_QT_MINGW "${_kaldo_qt_default}" CACHE PATH "Qt for MinGW (tools/build-qt-windows.sh); empty: no desktop program")
if(NOT KALDO_QT_MINGW)
  message(STATUS "No Qt for MinGW (KALDO_QT_MINGW): the console tools and the Qt-free tests only")
  set(KALDO_BUILD_GUI OFF)
  return()
endif()
if(NOT EXISTS "${KALDO_QT_MINGW}/lib/cmake/Qt6/Qt6Config.cmake")
  message(FATAL_ERROR "KALDO_QT_MINGW (${KALDO_QT_MINGW}) holds no Qt 6")
endif()

# Another Qt than the one the last configure found: forget where its packages were, or the build would
# mix the two.
string(FIND "${Qt6_DIR}" "${KALDO_QT_MINGW}/" _kaldo_qt_at)
if(Qt6_DIR AND NOT _kaldo_qt_at EQUAL 0)
  get_cmake_property(_kaldo_cached CACHE_VARIABLES)
  foreach(variable IN LISTS _kaldo_cached)
    if(variable MATCHES "^Qt6.*_DIR$")
      unset(${variable} CACHE)
    endif()
  endforeach()
endif()

# The toolchain looks for the target's libraries only in its root folders: Qt's is one more. Qt's own
# build tools (moc, rcc, uic) are the build machine's.
list(APPEND CMAKE_FIND_ROOT_PATH ${KALDO_QT_MINGW})
list(APPEND CMAKE_PREFIX_PATH ${KALDO_QT_MINGW})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
# The pictures are decoded with libjpeg: Qt's bundled copy, as Debian has none for MinGW.
set(JPEG_INCLUDE_DIR ${KALDO_QT_MINGW}/include/QtJpeg)
set(JPEG_LIBRARY ${KALDO_QT_MINGW}/lib/libQt6BundledLibjpeg.a)

# Beside the programs in bin/, what they load: Qt's libraries, the platform plugins (windows for the
# desktop, offscreen for the tests), the native style and the MinGW runtime Qt was built with. Run
# from there, under Wine or copied to Windows, they need nothing else; the Windows zip takes its files
# from here.
function(kaldo_copy_qt_runtime into)
  foreach(library Core Gui Widgets Test)
    if(EXISTS ${KALDO_QT_MINGW}/bin/Qt6${library}.dll)
      file(COPY ${KALDO_QT_MINGW}/bin/Qt6${library}.dll DESTINATION ${into})
    endif()
  endforeach()
  file(COPY ${KALDO_QT_MINGW}/plugins/platforms/qwindows.dll ${KALDO_QT_MINGW}/plugins/platforms/qoffscreen.dll
       DESTINATION ${into}/platforms)
  file(COPY ${KALDO_QT_MINGW}/plugins/styles/qwindowsvistastyle.dll DESTINATION ${into}/styles)
  foreach(library libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
      message(FATAL_ERROR "The MinGW runtime's ${library} was not found")
    endif()
    file(COPY ${path} DESTINATION ${into})
  endforeach()
endfunction()
