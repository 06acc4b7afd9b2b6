# The processor and its support code as a static library (linked by the plug-in and the tests),
# and the VST3 plug-in built from it.

file(GLOB VALMORA_CORE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/core/*.cpp)
list(REMOVE_ITEM VALMORA_CORE_SOURCES ${PROJECT_SOURCE_DIR}/core/PluginEntry.cpp)

add_library(valmora_core STATIC ${VALMORA_CORE_SOURCES})
target_include_directories(valmora_core PUBLIC ${PROJECT_SOURCE_DIR}/core)
target_link_libraries(valmora_core PUBLIC valmora_dsp valmora_juce)
set_target_properties(valmora_core PROPERTIES
    VISIBILITY_INLINES_HIDDEN TRUE
    CXX_VISIBILITY_PRESET hidden)

juce_add_plugin(Valmora
    PRODUCT_NAME "Valmora"
    COMPANY_NAME "Tarnwick"
    VERSION 2.0.2
    BUNDLE_ID "com.tarnwick.valmora"
    PLUGIN_MANUFACTURER_CODE Tarn
    PLUGIN_CODE Vlm2
    FORMATS VST3
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    VST3_CATEGORIES Fx Dynamics Mastering
    COPY_PLUGIN_AFTER_BUILD FALSE)

target_sources(Valmora PRIVATE ${PROJECT_SOURCE_DIR}/core/PluginEntry.cpp)
target_link_libraries(Valmora PUBLIC valmora_core)

# Hosts find the VST3 parameters by these string identifiers, not by JUCE's legacy indices.
target_compile_definitions(Valmora PUBLIC JUCE_FORCE_USE_LEGACY_PARAM_IDS=0)

set(VALMORA_VST3_BUNDLE "${CMAKE_CURRENT_BINARY_DIR}/Valmora_artefacts/$<CONFIG>/VST3/Valmora.vst3")

include(GNUInstallDirs)
install(DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/Valmora_artefacts/${CMAKE_BUILD_TYPE}/VST3/Valmora.vst3"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/vst3"
        USE_SOURCE_PERMISSIONS)
