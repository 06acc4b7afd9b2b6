# JUCE's modules, compiled once into one static library that the plug-in, the renderer, the tests
# and the benchmark all link. Debian's JUCE ships without its bundled image and compression
# libraries, so the system ones are linked instead.

find_package(JUCE 7.0.5 CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SYSTEM_CODECS REQUIRED IMPORTED_TARGET libpng libjpeg zlib)

add_library(valmora_juce STATIC)

target_link_libraries(valmora_juce
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_processors
        juce::juce_audio_formats
        juce::juce_gui_extra
    PUBLIC
        juce::juce_recommended_config_flags
        PkgConfig::SYSTEM_CODECS)

target_compile_definitions(valmora_juce
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_USE_FLAC=0
        JUCE_USE_OGGVORBIS=0
        JUCE_USE_MP3AUDIOFORMAT=0
        JUCE_USE_LAME_AUDIO_FORMAT=0
        JUCE_USE_WINDOWS_MEDIA_FORMAT=0
        JUCE_INCLUDE_PNGLIB_CODE=0
        JUCE_INCLUDE_JPEGLIB_CODE=0
        JUCE_INCLUDE_ZLIB_CODE=0
        JUCE_PLUGINHOST_VST3=1
        JUCE_VST3_CAN_REPLACE_VST2=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
    INTERFACE
        $<TARGET_PROPERTY:valmora_juce,COMPILE_DEFINITIONS>)

target_include_directories(valmora_juce
    INTERFACE
        $<TARGET_PROPERTY:valmora_juce,INCLUDE_DIRECTORIES>)

set_target_properties(valmora_juce PROPERTIES
    POSITION_INDEPENDENT_CODE TRUE
    VISIBILITY_INLINES_HIDDEN TRUE
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden)
