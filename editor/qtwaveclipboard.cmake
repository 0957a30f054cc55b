#editor_clipboard : the desktop clipboard for the document(TQtWaveClipboard), and the reading of
#what other programs put there(clipimport, plain C++ over the codecs).
add_library(editor_clipboard STATIC clipimport.cpp qtwaveclipboard.cpp)
    set_target_properties(editor_clipboard PROPERTIES AUTOMOC ON)
        target_include_directories(editor_clipboard PUBLIC ${PROJECT_SOURCE_DIR})
            target_link_libraries(editor_clipboard PUBLIC engine codecs qtmainthread
                                      Qt6::Widgets PRIVATE orvella_warnings)
