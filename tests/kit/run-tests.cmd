@echo off
rem Runs every test program of this kit, one case at a time; see README.txt.
rem The report goes into report.txt beside this file; the last line says how many passed.
cd /d "%~dp0"
run_tests.exe tests.txt report.txt
exit /b %errorlevel%
