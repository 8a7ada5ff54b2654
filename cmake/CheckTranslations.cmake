# cmake -DLUPDATE=… -DTS=… -DINCLUDE=… -DSOURCES=dir;dir -DWORK=… -P CheckTranslations.cmake
# Reads the code's texts into a copy of the translation file: a text of the
# code that the file lacks comes in unfinished, one the code no longer has
# comes in vanished. Either fails, naming the text.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(name ${TS} NAME)
file(COPY_FILE ${TS} ${WORK}/${name})
execute_process(
    COMMAND ${LUPDATE} -silent -I ${INCLUDE} -locations none -target-language en ${SOURCES}
            -ts ${WORK}/${name}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${out}")
endif()
file(READ ${WORK}/${name} text)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"(unfinished|vanished|obsolete)\""
       bad "${text}")
if(bad)
    string(REPLACE ";" "\n" bad "${bad}")
    message(FATAL_ERROR
        "Texts of the window without an English translation in ${TS}, or no longer in the "
        "code (build the target korvane_update_translations, then translate or remove):\n${bad}")
endif()
message(STATUS "every window text is translated")
