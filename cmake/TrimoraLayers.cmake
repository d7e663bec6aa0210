# The layers, checked. Each row names a target, a header and whether code in that
# target may include it. A probe that includes the header is compiled with exactly the
# target's usage requirements; a forbidden include must fail for want of the header,
# an allowed one must build. The probes are outside "all" and built by CTest.
set(TRIMORA_LAYER_ROWS
    # the editor's logic sees the platform's interfaces, the cut generator and Qt Core,
    # nothing else
    "trimora_editor_logic|VideoGenerator.h|allowed"
    "trimora_editor_logic|StreamCopyCutter.h|forbidden"
    "trimora_editor_logic|QtMediaPlayer.h|forbidden"
    "trimora_editor_logic|CutterViewController.h|forbidden"
    "trimora_editor_logic|QWidget|forbidden"
    # the platform is the bottom layer
    "trimora_platform|CutModel.h|forbidden"
    "trimora_platform|FfmpegSupport.h|forbidden"
    "trimora_platform|VideoGenerator.h|forbidden"
    # the generator cuts through the platform's interfaces only
    "trimora_export|ClipCutter.h|allowed"
    "trimora_export|StreamCopyCutter.h|forbidden"
    "trimora_export|FolderVideoLibrary.h|forbidden"
    "trimora_export|CutModel.h|forbidden"
    # media and desktop implement the platform side by side and never see each other,
    # nor the generator that uses them
    "trimora_media|Player.h|allowed"
    "trimora_media|QtMediaPlayer.h|forbidden"
    "trimora_media|CutModel.h|forbidden"
    "trimora_media|VideoGenerator.h|forbidden"
    "trimora_desktop|StreamCopyCutter.h|forbidden"
    "trimora_desktop|FfmpegVideoAsset.h|forbidden"
    "trimora_desktop|ExportRun.h|forbidden"
    # shared views know no screen and no media engine
    "trimora_views|CutterViewController.h|forbidden"
    "trimora_views|FfmpegSupport.h|forbidden"
    "trimora_views|VideoGenerator.h|forbidden"
    # the screens reach media and the desktop only through the platform's interfaces,
    # handed to them by the application
    "trimora_editor|StreamCopyCutter.h|forbidden"
    "trimora_editor|ThumbnailSource.h|forbidden"
    "trimora_editor|QtMediaPlayer.h|forbidden"
    "trimora_home|FfmpegVideoAsset.h|forbidden"
    "trimora_home|StreamCopyCutter.h|forbidden"
    "trimora_home|ThumbnailSource.h|forbidden"
    "trimora_home|DesktopStoreReview.h|forbidden"
)

function(trimora_add_layer_checks)
    set(index 0)
    foreach(row IN LISTS TRIMORA_LAYER_ROWS)
        string(REPLACE "|" ";" fields "${row}")
        list(GET fields 0 target)
        list(GET fields 1 header)
        list(GET fields 2 verdict)
        if(header MATCHES "\\.h$")
            file(GLOB_RECURSE found ${PROJECT_SOURCE_DIR}/*/${header})
            if(NOT found)
                message(FATAL_ERROR "layer check names ${header}, which no folder holds")
            endif()
        endif()
        math(EXPR index "${index} + 1")
        set(probe layer_probe_${index})
        set(source ${CMAKE_CURRENT_BINARY_DIR}/layers/${probe}.cpp)
        file(WRITE ${source} "#include <${header}>\n")
        add_library(${probe} OBJECT EXCLUDE_FROM_ALL ${source})
        target_link_libraries(${probe} PRIVATE ${target})
        set(name "layers: ${target} ${verdict} ${header}")
        add_test(NAME ${name}
            COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target ${probe})
        if(verdict STREQUAL "forbidden")
            set_tests_properties(${name} PROPERTIES
                PASS_REGULAR_EXPRESSION "${header}: No such file or directory")
        endif()
        # Each check runs the build tool in the shared build folder.
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE LABELS layers)
    endforeach()
endfunction()
