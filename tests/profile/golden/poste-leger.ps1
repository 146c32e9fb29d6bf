# Configuration de services « poste léger », exportée par Kestrane 1.2.6.
# À lancer dans une session PowerShell ouverte en administrateur. Une commande refusée est signalée
# et les suivantes sont faites quand même, comme lors d'une application par Kestrane.
$ErrorActionPreference = 'Continue'

# RpcSs : interdit par la liste des services protégés, laissé tel quel

# Modes de démarrage
if ($service = Get-Service | Where-Object Name -eq 'Spooler') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : Spooler' }
if ($service = Get-Service | Where-Object Name -eq 'Fax') { $service | Set-Service -StartupType Automatic } else { Write-Warning 'Service introuvable : Fax' }  # modification déconseillée
if ($service = Get-Service | Where-Object Name -eq 'Audiosrv') { $service | Set-Service -StartupType Automatic } else { Write-Warning 'Service introuvable : Audiosrv' }
# kbdclass : mode de démarrage « Boot » non exprimable ici, laissé tel quel
if ($service = Get-Service | Where-Object Name -eq 'wuauserv') { $service | Set-Service -StartupType Disabled } else { Write-Warning 'Service introuvable : wuauserv' }

# États, dans l'ordre des dépendances
if ($service = Get-Service | Where-Object Name -eq 'kbdclass') { $service | Start-Service } else { Write-Warning 'Service introuvable : kbdclass' }
# Audiosrv : état « Paused » non exprimable ici, laissé tel quel
if ($service = Get-Service | Where-Object Name -eq 'Spooler') { $service | Stop-Service } else { Write-Warning 'Service introuvable : Spooler' }
if ($service = Get-Service | Where-Object Name -eq 'Fax') { $service | Start-Service } else { Write-Warning 'Service introuvable : Fax' }  # modification déconseillée
if ($service = Get-Service | Where-Object Name -eq 'wuauserv') { $service | Stop-Service } else { Write-Warning 'Service introuvable : wuauserv' }
