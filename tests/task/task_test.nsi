; A bare installer around packaging/windows/task.nsh, built as the real one is (Unicode, 64-bit):
; its section writes the task's definition and offers the task (which a silent install skips),
; and its uninstaller removes them. makensis -DOUT_FILE=... -DTASK_NSH=... task_test.nsi
Unicode true
Target amd64-unicode
RequestExecutionLevel admin
Name "catalog-publisher"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\catalog-publisher"
ShowInstDetails show

!include "${TASK_NSH}"

Section
  SetOutPath $INSTDIR
  Call CatpubWriteTask
  IfErrors 0 +2
    Abort
  Call CatpubOfferTask
  WriteUninstaller "$INSTDIR\Uninstall.exe"
SectionEnd

Section Uninstall
  Call un.CatpubRemoveTask
  Delete "$INSTDIR\Uninstall.exe"
  RMDir $INSTDIR
SectionEnd
