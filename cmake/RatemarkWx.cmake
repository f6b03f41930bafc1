# ratemark_wx: every window of the desktop program (all `wx/` folders of the layers), and the
# executable `ratemark`. Only these files include wxWidgets headers.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS html core base)
find_package(PkgConfig REQUIRED)
pkg_check_modules(RATEMARK_GIO REQUIRED IMPORTED_TARGET gio-2.0)

file(GLOB RATEMARK_WX_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/framework/wx/*.cpp
    ${PROJECT_SOURCE_DIR}/views/wx/*.cpp
    ${PROJECT_SOURCE_DIR}/shell/wx/*.cpp
)
add_library(ratemark_wx STATIC ${RATEMARK_WX_SOURCES})
target_include_directories(ratemark_wx SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(ratemark_wx PUBLIC ${wxWidgets_DEFINITIONS})
target_compile_options(ratemark_wx PUBLIC ${wxWidgets_CXX_FLAGS})
target_link_libraries(ratemark_wx PUBLIC ratemark_core ${wxWidgets_LIBRARIES} PkgConfig::RATEMARK_GIO)

add_executable(ratemark ${PROJECT_SOURCE_DIR}/shell/wx/main/Main.cpp)
target_link_libraries(ratemark PRIVATE ratemark_wx)

# The toolkit's libraries keep state until exit: the hooks that tell the sanitizers so go into
# every program that opens windows.
if(RATEMARK_SANITIZE)
    target_sources(ratemark_wx INTERFACE ${PROJECT_SOURCE_DIR}/shell/wx/main/SanitizerSuppressions.cpp)
endif()
