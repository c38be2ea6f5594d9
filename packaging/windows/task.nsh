; The scheduled task "catalog-publisher", for the installer (CMakeLists.txt includes this file at
; the top level of CPack's NSIS script). A stand-in with the three functions the installer calls,
; doing nothing yet; the file that writes, offers and removes the task replaces it.
;
; CatpubWriteTask: writes $INSTDIR\catalog-publisher-task.xml for this $INSTDIR.
; CatpubOfferTask: in an interactive install, offers to register the task.
; un.CatpubRemoveTask: deletes the task if there is one; never fails the uninstall.

Function CatpubWriteTask
FunctionEnd

Function CatpubOfferTask
FunctionEnd

Function un.CatpubRemoveTask
FunctionEnd
