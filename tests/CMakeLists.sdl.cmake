# Tests of the SDL layer and of the emulator shell over it. They run headless: each test sets
# SDL_VIDEODRIVER=dummy and SDL_RENDER_DRIVER=software itself; ctest sets them too.
if(TARGET halvo_sdl)
    file(GLOB_RECURSE HALVO_SDL_TEST_SOURCES CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/gfx/sdl/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/sdl/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/shell/*.cpp)
    if(HALVO_SDL_TEST_SOURCES)
        add_executable(halvo_sdl_tests ${HALVO_SDL_TEST_SOURCES})
        target_include_directories(halvo_sdl_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(halvo_sdl_tests PRIVATE halvo_sdl GTest::gtest GTest::gtest_main GTest::gmock)
        target_compile_definitions(halvo_sdl_tests PRIVATE HALVO_TESTROMS_DIR="${HALVO_TESTROMS_DIR}")
        gtest_discover_tests(halvo_sdl_tests DISCOVERY_TIMEOUT 120
            PROPERTIES LABELS sdl ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_RENDER_DRIVER=software")
    endif()
endif()
