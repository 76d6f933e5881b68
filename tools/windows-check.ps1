# On Windows itself: installs each of Tumblewick's setups and MSIs silently,
# checks what it placed (program, shortcuts, Apps entry, wallpapers), uses the
# installed program (a Desktop shortcut, System Info), removes it and checks
# that it is gone. Prints a line for each check and the total, and exits 1
# when a check failed. Run on a machine that may be changed (the Windows
# workflow's hosted runners): it installs into the real profile.
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

# The program's windows, driven from outside as a person would: controls
# found by their text, buttons clicked with BM_CLICK, menu commands sent by
# their text. Messages are posted, so that a message box cannot stall this
# script.
Add-Type -TypeDefinition @'
using System;
using System.Runtime.InteropServices;
using System.Text;
public static class TumblewickWindows {
    delegate bool EnumProc(IntPtr window, IntPtr data);
    [DllImport("user32.dll")] static extern bool EnumWindows(EnumProc proc, IntPtr data);
    [DllImport("user32.dll")] static extern bool EnumChildWindows(IntPtr parent, EnumProc proc, IntPtr data);
    [DllImport("user32.dll")] static extern uint GetWindowThreadProcessId(IntPtr window, out uint process);
    [DllImport("user32.dll", CharSet = CharSet.Unicode)] static extern int GetWindowText(IntPtr window, StringBuilder text, int size);
    [DllImport("user32.dll")] static extern bool IsWindowVisible(IntPtr window);
    [DllImport("user32.dll")] static extern bool PostMessage(IntPtr window, uint message, IntPtr w, IntPtr l);
    [DllImport("user32.dll")] static extern IntPtr GetMenu(IntPtr window);
    [DllImport("user32.dll")] static extern int GetMenuItemCount(IntPtr menu);
    [DllImport("user32.dll")] static extern IntPtr GetSubMenu(IntPtr menu, int position);
    [DllImport("user32.dll")] static extern uint GetMenuItemID(IntPtr menu, int position);
    [DllImport("user32.dll", CharSet = CharSet.Unicode)] static extern int GetMenuString(IntPtr menu, uint item, StringBuilder text, int size, uint flags);
    const uint MF_BYPOSITION = 0x400, WM_CLOSE = 0x10, WM_COMMAND = 0x111, BM_CLICK = 0xF5;

    static string Text(IntPtr window) {
        var text = new StringBuilder(512);
        GetWindowText(window, text, 512);
        return text.ToString();
    }
    // A visible top-level window of the process, by its title.
    public static IntPtr Window(int process, string title) {
        IntPtr found = IntPtr.Zero;
        EnumWindows((window, data) => {
            uint owner;
            GetWindowThreadProcessId(window, out owner);
            if (owner != process || !IsWindowVisible(window) || Text(window) != title) return true;
            found = window;
            return false;
        }, IntPtr.Zero);
        return found;
    }
    // A control anywhere inside a window, by its text.
    public static IntPtr Control(IntPtr parent, string text) {
        IntPtr found = IntPtr.Zero;
        if (parent == IntPtr.Zero) return found;
        EnumChildWindows(parent, (window, data) => {
            if (Text(window) != text) return true;
            found = window;
            return false;
        }, IntPtr.Zero);
        return found;
    }
    public static bool Click(IntPtr control) { return control != IntPtr.Zero && PostMessage(control, BM_CLICK, IntPtr.Zero, IntPtr.Zero); }
    public static bool Close(IntPtr window) { return window != IntPtr.Zero && PostMessage(window, WM_CLOSE, IntPtr.Zero, IntPtr.Zero); }
    // Sends the menu command whose text starts so (the text may go on with
    // its shortcut).
    public static bool Command(IntPtr window, string text) {
        IntPtr bar = window == IntPtr.Zero ? IntPtr.Zero : GetMenu(window);
        for (int i = 0; i < GetMenuItemCount(bar); i++) {
            IntPtr menu = GetSubMenu(bar, i);
            for (int j = 0; j < GetMenuItemCount(menu); j++) {
                var item = new StringBuilder(256);
                GetMenuString(menu, (uint)j, item, 256, MF_BYPOSITION);
                if (item.ToString().StartsWith(text))
                    return PostMessage(window, WM_COMMAND, (IntPtr)GetMenuItemID(menu, j), IntPtr.Zero);
            }
        }
        return false;
    }
}
'@

function Wait-Until([scriptblock] $done, [int] $seconds = 10) {
    for ($i = 0; $i -lt $seconds * 10; $i++) {
        $result = & $done
        if ($result) { return $result }
        Start-Sleep -Milliseconds 100
    }
    $null
}

function Wait-Window([int] $process, [string] $title) {
    Wait-Until { $window = [TumblewickWindows]::Window($process, $title); if ($window -ne [IntPtr]::Zero) { $window } }
}

# The installed program, used: the splash's OK, a Desktop shortcut from the
# Desktop Shortcuts window, System Info from About, and the program ends
# with its main window.
function Test-Program([string] $name, [string] $program) {
    $process = Start-Process -FilePath $program -PassThru
    $link = Join-Path ([Environment]::GetFolderPath('DesktopDirectory')) 'Barney.url'
    $tools = @(Get-Process msinfo32 -ErrorAction SilentlyContinue | ForEach-Object Id)
    try {
        $splash = Wait-Window $process.Id ''
        Check ($null -ne $splash) "${name}: the installed program shows its splash"
        [TumblewickWindows]::Click([TumblewickWindows]::Control($splash, 'OK')) | Out-Null
        $main = Wait-Window $process.Id 'Tumblewick'
        Check ($null -ne $main) "${name}: the splash's OK opens the main window"
        [TumblewickWindows]::Click([TumblewickWindows]::Control($main, 'Desktop &Shortcuts...')) | Out-Null
        $picker = Wait-Window $process.Id 'Desktop Shortcuts'
        [TumblewickWindows]::Click([TumblewickWindows]::Control($picker, 'Barney')) | Out-Null
        $written = Wait-Until { if (Test-Path $link) { Get-Content -Raw $link } }
        Check ($written -ceq "[InternetShortcut]`r`nURL=http://www.barney.com/usa/index.html`r`n") `
            "${name}: Barney in the Desktop Shortcuts window puts Barney.url on the Desktop"
        [TumblewickWindows]::Close($picker) | Out-Null
        Wait-Until { [TumblewickWindows]::Window($process.Id, 'Desktop Shortcuts') -eq [IntPtr]::Zero } | Out-Null
        [TumblewickWindows]::Command($main, 'Ab&out Tumblewick') | Out-Null
        $about = Wait-Window $process.Id 'About Tumblewick'
        [TumblewickWindows]::Click([TumblewickWindows]::Control($about, '&System Info...')) | Out-Null
        $started = Wait-Until { Get-Process msinfo32 -ErrorAction SilentlyContinue | Where-Object { $tools -notcontains $_.Id } }
        Check ($null -ne $started) "${name}: System Info in the About window starts the system-information tool"
        $started | Stop-Process -Force -ErrorAction SilentlyContinue
        [TumblewickWindows]::Close($about) | Out-Null
        Wait-Until { [TumblewickWindows]::Window($process.Id, 'About Tumblewick') -eq [IntPtr]::Zero } | Out-Null
        [TumblewickWindows]::Close($main) | Out-Null
        Check ($process.WaitForExit(10000)) "${name}: the program ends with its main window"
    } finally {
        if (-not $process.HasExited) { Stop-Process -Id $process.Id -Force -ErrorAction SilentlyContinue }
        Remove-Item -Path $link -ErrorAction SilentlyContinue
    }
}

function Test-Setup([string] $name) {
    $status = Run (Find-Download $name) @('/S')
    Check ($status -eq 0) "$name /S exits 0 (it gave $status)"
    $entry = Get-ItemProperty -Path $uninstallKey -ErrorAction SilentlyContinue
    Check ($entry.DisplayVersion -eq $Version) "${name}: the Apps entry is of $Version"
    $location = $entry.InstallLocation
    Check (Test-Path (Join-Path $location 'Tumblewick.exe')) "${name}: the program in $location"
    Test-Program $name (Join-Path $location 'Tumblewick.exe')
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
    Test-Program $name (Join-Path $programFolder 'Tumblewick.exe')
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
