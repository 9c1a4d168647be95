# Precompiled headers. Nearly every file reaches Qt's headers, and parsing them
# again in each file was most of a cold build. Four headers are precompiled,
# once each, by the owner targets below; every other target reuses the one
# matching what it links (calmora_pch), so a header is parsed once per build.
# The owners compile an empty file with the same flags as the reusers, which
# is what lets gcc and clang accept the shared header. CALMORA_PCH=OFF builds
# without them, to check that each file includes what it uses.
option(CALMORA_PCH "Precompile the standard and Qt headers most files include" ON)

set(CALMORA_PCH_STD
  <algorithm> <cerrno> <chrono> <cmath> <cstdint> <cstdio> <cstdlib> <cstring>
  <filesystem> <fstream> <functional> <map> <memory> <mutex> <optional> <set>
  <string> <string_view> <thread> <utility> <vector>)
set(CALMORA_PCH_CORE ${CALMORA_PCH_STD}
  <QByteArray> <QCoreApplication> <QDateTime> <QDBusConnection> <QDBusMessage>
  <QHash> <QJsonArray> <QJsonDocument> <QJsonObject> <QObject> <QString> <QTimer>)
set(CALMORA_PCH_WIDGETS ${CALMORA_PCH_CORE}
  <QApplication> <QColor> <QFont> <QImage> <QPainter> <QPainterPath> <QWidget>)
set(CALMORA_PCH_CORE_TESTS ${CALMORA_PCH_CORE} <gtest/gtest.h>)
set(CALMORA_PCH_WIDGETS_TESTS ${CALMORA_PCH_WIDGETS} <gtest/gtest.h>)

# Test programs are compiled for debugging (-Og): their own code is mostly
# GoogleTest's macros, and generating it at -O2 was near half of what a test
# file cost; the code under test keeps the build's optimisation. Their headers
# are precompiled the same way, since GCC loads a header only into files
# compiled at the optimisation it was built with.
set(CALMORA_TEST_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-Og>)

set(CALMORA_PCH_OWNER_SOURCE ${CMAKE_BINARY_DIR}/pch_owner.cpp)
file(CONFIGURE OUTPUT ${CALMORA_PCH_OWNER_SOURCE} CONTENT "// Compiles only the precompiled header.\n")

# calmora_pch_owner(KIND HEADERS LIBRARIES): the target pch_KIND that
# precompiles HEADERS with the flags of a target linking LIBRARIES.
function(calmora_pch_owner kind headers)
  if(NOT CALMORA_PCH)
    return()
  endif()
  add_library(pch_${kind} OBJECT ${CALMORA_PCH_OWNER_SOURCE})
  target_link_libraries(pch_${kind} PRIVATE ${ARGN})
  target_precompile_headers(pch_${kind} PRIVATE ${${headers}})
  if(kind MATCHES "_tests$")
    target_compile_options(pch_${kind} PRIVATE ${CALMORA_TEST_OPTIONS})
  endif()
  # Without the headers' times in it, clang's header can be cached by ccache.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(pch_${kind} PRIVATE "SHELL:-Xclang -fno-pch-timestamp")
  endif()
endfunction()

# calmora_pch_skip(FILE...): FILEs compile without the precompiled header.
# GCC 12 reports a std::string built by operator+ from a literal as written
# past its end (-Warray-bounds, a false report it keeps quiet about while the
# standard headers are read as system headers); through a precompiled header
# it reports it, and warnings are errors in CI. They stay out of the unity
# batches too, which are compiled with the header.
function(calmora_pch_skip)
  set_source_files_properties(${ARGN} PROPERTIES SKIP_PRECOMPILE_HEADERS ON SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

# calmora_pch(TARGET KIND): TARGET reuses the precompiled header of pch_KIND
# (core, widgets, core_tests or widgets_tests). KIND must not link more Qt
# modules than TARGET does: the header is parsed with the owner's include
# folders. A test program (KIND *_tests) also takes the tests' options.
function(calmora_pch target kind)
  if(CALMORA_PCH)
    target_precompile_headers(${target} REUSE_FROM pch_${kind})
  endif()
  if(kind MATCHES "_tests$")
    target_compile_options(${target} PRIVATE ${CALMORA_TEST_OPTIONS})
  endif()
endfunction()

calmora_pch_owner(core CALMORA_PCH_CORE PkgConfig::PLIST Qt6::Core Qt6::DBus)
calmora_pch_owner(widgets CALMORA_PCH_WIDGETS PkgConfig::PLIST Qt6::Core Qt6::DBus Qt6::Gui Qt6::Widgets)
calmora_pch_owner(core_tests CALMORA_PCH_CORE_TESTS PkgConfig::PLIST Qt6::Core Qt6::DBus GTest::gtest)
calmora_pch_owner(widgets_tests CALMORA_PCH_WIDGETS_TESTS PkgConfig::PLIST Qt6::Core Qt6::DBus Qt6::Gui Qt6::Widgets
  GTest::gtest)
