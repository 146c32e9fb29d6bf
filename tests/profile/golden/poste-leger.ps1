# Configuration de services « poste léger », exportée par Kestrane 1.2.6.
# À lancer dans une session PowerShell ouverte en administrateur. Une commande refusée est signalée
# et les suivantes sont faites quand même, comme lors d'une application par Kestrane.
$ErrorActionPreference = 'Continue'

# RpcSs : interdit par la liste des services protégés, laissé tel quel

# Modes de démarrage
Set-Service -Name 'Spooler' -StartupType Manual
Set-Service -Name 'Fax' -StartupType Automatic  # modification déconseillée
Set-Service -Name 'Audiosrv' -StartupType Automatic
# kbdclass : mode de démarrage « Boot » non exprimable ici, laissé tel quel
Set-Service -Name 'wuauserv' -StartupType Disabled

# États, dans l'ordre des dépendances
Stop-Service -Name 'Spooler'
Start-Service -Name 'kbdclass'
Stop-Service -Name 'wuauserv'
# Audiosrv : état « Paused » non exprimable ici, laissé tel quel
Start-Service -Name 'Fax'  # modification déconseillée
