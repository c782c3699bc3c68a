@echo off
rem lotpick-wallpaper.cmd [LIST DESTINATION]: one pick of lotpick, made the
rem desktop wallpaper. It lives in one folder with lotpick.exe, the list and
rem the done list, and runs there; Task Scheduler runs it at each logon:
rem   schtasks /create /tn "lotpick wallpaper" /sc onlogon /tr "\"%USERPROFILE%\lotpick\lotpick-wallpaper.cmd\""
rem Without arguments it picks from wallpapers.txt for
rem %USERPROFILE%\Pictures\wallpaper.jpg. It prints lotpick's output once the
rem run has ended, and after a run that ended with status 0 it
rem   - works out the file lotpick wrote: the destination with the extension of
rem     the picked name (the last line lotpick printed), by lotpick's own rule;
rem   - makes that file the wallpaper, or, when LOTPICK_APPLY is set, runs that
rem     command with the file's path as its one argument;
rem   - removes the file an earlier run wrote when it was another one with the
rem     same name up to the extension (lotpick-wallpaper.last keeps the files
rem     it wrote; no other file is ever removed);
rem   - once every name of the list is done, moves DoneList to
rem     DoneList.previous, so that the next run draws from the whole list again.
rem Exit status: lotpick's own; 3 when lotpick's was 0 but the wallpaper could
rem not be set, an earlier file not removed or the new round not started.
setlocal EnableExtensions DisableDelayedExpansion
cd /d "%~dp0"
set "LIST=%~1"
set "DEST=%~2"
if not defined LIST set "LIST=wallpapers.txt"
if not defined DEST set "DEST=%USERPROFILE%\Pictures\wallpaper.jpg"
set "STATE=lotpick-wallpaper.last"
set "OUT=%TEMP%\lotpick-wallpaper-%RANDOM%%RANDOM%.txt"

lotpick.exe "%LIST%" "%DEST%" >"%OUT%"
set "STATUS=%ERRORLEVEL%"
type "%OUT%"
set "PICKED="
rem No name Windows takes starts with "|", so no line is lost as a comment.
for /f "usebackq eol=| delims=" %%L in ("%OUT%") do set "PICKED=%%L"
del "%OUT%"
if not "%STATUS%"=="0" goto finish

set "NAME=%PICKED%"
call :split_name
set "PICKED_EXT=%EXT%"
set "TARGET=%DEST%"
set "NAME=%DEST%"
call :split_name
if defined PICKED_EXT set "TARGET=%STEM%%PICKED_EXT%"
for %%F in ("%TARGET%") do set "FILE=%%~fF"

rem Errorlevels are tested one by one: Wine's cmd does not carry a call's
rem errorlevel across && and ||.
call :apply
if errorlevel 1 (
    set "STATUS=3"
    call :keep_for_later
) else (
    call :remove_earlier
    if errorlevel 1 set "STATUS=3"
)
call :new_round_if_done
if errorlevel 1 set "STATUS=3"

:finish
exit /b %STATUS%

rem NAME split by lotpick's rule: EXT from the last "." of the last path
rem component (after the last \ or /) on, unless that "." starts the
rem component, and STEM before it; EXT is empty when there is none.
:split_name
set "STEM=%NAME%"
set "EXT="
set "REST=%NAME%"
set "TAIL="
:split_next
if not defined REST exit /b 0
set "C=%REST:~-1%"
set "REST=%REST:~0,-1%"
if "%C%"=="/" exit /b 0
if "%C%"=="\" exit /b 0
if not "%C%"=="." set "TAIL=%C%%TAIL%"
if not "%C%"=="." goto split_next
if not defined REST exit /b 0
if "%REST:~-1%"=="/" exit /b 0
if "%REST:~-1%"=="\" exit /b 0
set "STEM=%REST%"
set "EXT=.%TAIL%"
exit /b 0

:apply
if not defined LOTPICK_APPLY goto apply_wallpaper
call %LOTPICK_APPLY% "%FILE%" >nul
if not errorlevel 1 exit /b 0
for %%F in ("%FILE%") do >&2 echo lotpick-wallpaper: cannot show '%%~F': LOTPICK_APPLY failed
exit /b 1
:apply_wallpaper
reg add "HKCU\Control Panel\Desktop" /v Wallpaper /t REG_SZ /d "%FILE%" /f >nul
if errorlevel 1 goto apply_failed
RUNDLL32.EXE user32.dll,UpdatePerUserSystemParameters
exit /b 0
:apply_failed
for %%F in ("%FILE%") do >&2 echo lotpick-wallpaper: cannot make '%%~F' the wallpaper
exit /b 1

rem Removes what earlier runs wrote beside FILE, then keeps FILE alone. No
rem loop here leaves by exit or goto, which Wine's cmd does not take back to
rem the right caller.
:remove_earlier
set "FAILED="
if exist "%STATE%" for /f "usebackq eol=| delims=" %%E in ("%STATE%") do (
    set "EARLIER=%%E"
    call :remove_if_sibling
)
if defined FAILED exit /b 1
for %%F in ("%FILE%") do >"%STATE%" echo %%~F
exit /b 0

:remove_if_sibling
if /i "%EARLIER%"=="%FILE%" exit /b 0
set "NAME=%EARLIER%"
call :split_name
set "EARLIER_STEM=%STEM%"
set "NAME=%FILE%"
call :split_name
if /i not "%EARLIER_STEM%"=="%STEM%" exit /b 0
if exist "%EARLIER%" del /f /q "%EARLIER%"
if not exist "%EARLIER%" exit /b 0
for %%F in ("%EARLIER%") do >&2 echo lotpick-wallpaper: cannot remove '%%~F'
set "FAILED=1"
exit /b 0

rem After a failed wallpaper the desktop still shows an earlier file: it stays
rem until a later file is shown.
:keep_for_later
set "KEPT="
if exist "%STATE%" for /f "usebackq eol=| delims=" %%E in ("%STATE%") do if /i "%%E"=="%FILE%" set "KEPT=1"
if not defined KEPT for %%F in ("%FILE%") do >>"%STATE%" echo %%~F
exit /b 0

:new_round_if_done
if not exist DoneList exit /b 0
if not exist "%LIST%" exit /b 0
set "MISSING="
for /f "usebackq eol=| delims=" %%L in ("%LIST%") do (
    set "NAME=%%L"
    call :check_name
)
if defined MISSING exit /b 0
move /y DoneList DoneList.previous >nul
if not errorlevel 1 exit /b 0
>&2 echo lotpick-wallpaper: cannot move 'DoneList' to 'DoneList.previous'
exit /b 1

rem Sets MISSING unless NAME is a blank line or an entry of the done list. A
rem list saved as UTF-8 with a byte order mark has it before the first name,
rem where lotpick passes over it: the three bytes between "NAME:" and "=" below
rem are that mark.
:check_name
if defined MISSING exit /b 0
if not defined NAME exit /b 0
set "NAME=%NAME:﻿=%"
set "FOUND="
for /f "usebackq eol=| delims=" %%D in ("DoneList") do if "%%D"=="%NAME%" set "FOUND=1"
if not defined FOUND set "MISSING=1"
exit /b 0
