# On Windows itself: installs each of Tumblewick's setups and MSIs silently,
# checks what it placed (program, shortcuts, Apps entry, wallpapers) and that
# the program starts, removes it and checks that it is gone. Prints a line for each check and the total,
# and exits 1 when a check failed. Run on a machine that may be changed (the
# Windows workflow's hosted runners): it installs into the real profile.
#
#   tools/windows-check.ps1 -Folder DOWNLOADS -Version 1.0.0 [-Logs FOLDER]
param(
    [Parameter(Mandatory)] [string] $Folder,
    [Parameter(Mandatory)] [string] $Version,
    [string] $Logs = $env:TEMP
)
$ErrorActionPreference = 'Stop'
$wallpapers = 'C:\share\Tumblewick\backgrounds\character backgrounds'
$uninstallKey = 'HKCU:\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tumblewick'
$script:passed = 0
$script:failed = 0
New-Item -ItemType Directory -Force -Path $Logs | Out-Null

function Check([bool] $ok, [string] $what) {
    if ($ok) { $script:passed++; "ok: $what" } else { $script:failed++; "FAILED: $what" }
}

function Find-Download([string] $name) {
    $found = Get-ChildItem -Path $Folder -Recurse -Filter $name | Select-Object -First 1
    if (-not $found) { throw "no $name under $Folder" }
    $found.FullName
}

function Run([string] $file, [string[]] $arguments) {
    (Start-Process -FilePath $file -ArgumentList $arguments -Wait -PassThru).ExitCode
}

# The installed program starts and shows its window; the bundles' test
# programs drive the same windows further.
function Test-Starts([string] $name, [string] $program) {
    $process = Start-Process -FilePath $program -PassThru
    $shown = $false
    for ($i = 0; $i -lt 100 -and -not $shown; $i++) {
        Start-Sleep -Milliseconds 100
        $process.Refresh()
        $shown = $process.MainWindowHandle -ne 0
    }
    Check $shown "${name}: the installed program starts and shows its window"
    Stop-Process -Id $process.Id -Force -ErrorAction SilentlyContinue
    $process.WaitForExit(10000) | Out-Null
}

function Test-Setup([string] $name) {
    $status = Run (Find-Download $name) @('/S')
    Check ($status -eq 0) "$name /S exits 0 (it gave $status)"
    $entry = Get-ItemProperty -Path $uninstallKey -ErrorAction SilentlyContinue
    Check ($entry.DisplayVersion -eq $Version) "${name}: the Apps entry is of $Version"
    $location = $entry.InstallLocation
    Check (Test-Path (Join-Path $location 'Tumblewick.exe')) "${name}: the program in $location"
    Test-Starts $name (Join-Path $location 'Tumblewick.exe')
    foreach ($folder in 'Programs', 'DesktopDirectory') {
        $link = Join-Path ([Environment]::GetFolderPath($folder)) 'Tumblewick.lnk'
        Check (Test-Path $link) "${name}: the shortcut $link"
    }
    Check ((Get-ChildItem -Path $wallpapers -Filter '*.bmp').Count -eq 24) "${name}: 24 wallpapers in $wallpapers"

    # The uninstaller hands over to a copy of itself; a copy told where the
    # install is gives its exit code.
    $copy = Join-Path $env:TEMP 'Tumblewick uninstall copy.exe'
    Copy-Item -Path (Join-Path $location 'uninstall.exe') -Destination $copy -Force
    $status = Run $copy @('/S', "_?=$location")
    Remove-Item -Path $copy
    Check ($status -eq 0) "${name}: its uninstaller exits 0 (it gave $status)"
    Check (-not (Test-Path $uninstallKey)) "${name}: the Apps entry is gone"
    Check (-not (Test-Path $location)) "${name}: the program folder is gone"
    Check (-not (Test-Path 'C:\share')) "${name}: the wallpapers and the folders made for them are gone"
}

function Test-Msi([string] $name, [string] $programFolder) {
    $msi = Find-Download $name
    $status = Run 'msiexec.exe' @('/i', "`"$msi`"", '/qn', '/l*v', "`"$Logs\$name-install.log`"")
    Check ($status -eq 0) "$name installs (msiexec gave $status)"
    Check (Test-Path (Join-Path $programFolder 'Tumblewick.exe')) "${name}: the program in $programFolder"
    Test-Starts $name (Join-Path $programFolder 'Tumblewick.exe')
    $link = Join-Path ([Environment]::GetFolderPath('CommonPrograms')) 'Tumblewick.lnk'
    Check (Test-Path $link) "${name}: the all-users shortcut $link"
    Check ((Get-ChildItem -Path $wallpapers -Filter '*.bmp').Count -eq 24) "${name}: 24 wallpapers in $wallpapers"
    Check (Test-Path (Join-Path $wallpapers 'installed for all users.ini')) "${name}: the machine's record"
    $entries = Get-ChildItem -Path 'HKLM:\Software\Microsoft\Windows\CurrentVersion\Uninstall',
                                   'HKLM:\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall' -ErrorAction SilentlyContinue |
        Where-Object { (Get-ItemProperty -Path $_.PSPath).DisplayName -eq 'Tumblewick' }
    Check (@($entries).Count -eq 1) "${name}: one Apps entry for the machine"

    $status = Run 'msiexec.exe' @('/x', "`"$msi`"", '/qn', '/l*v', "`"$Logs\$name-remove.log`"")
    Check ($status -eq 0) "$name is removed (msiexec gave $status)"
    Check (-not (Test-Path $programFolder)) "${name}: the program folder is gone"
    Check (-not (Test-Path 'C:\share')) "${name}: the wallpapers and the folders made for them are gone"
}

Test-Setup "Tumblewick-$Version-x64-setup.exe"
Test-Setup "Tumblewick-$Version-setup.exe"
Test-Msi "Tumblewick-$Version-x64.msi" (Join-Path $env:ProgramFiles 'Tumblewick')
Test-Msi "Tumblewick-$Version-x86.msi" (Join-Path ${env:ProgramFiles(x86)} 'Tumblewick')
"$script:passed passed, $script:failed failed"
exit [int]($script:failed -gt 0)
