@echo off
rem One pick, from the folder this file is in: lotpick.exe, wallpapers.txt
rem and the done list all live there. Task Scheduler runs it at logon:
rem   schtasks /create /tn "lotpick wallpaper" /sc onlogon /tr "\"%USERPROFILE%\lotpick\lotpick-wallpaper.cmd\""
cd /d "%~dp0"
lotpick.exe wallpapers.txt "%USERPROFILE%\Pictures\wallpaper.jpg"
