# Configuration de services « {{ lookup('pipe','touch MARK') }}    », exportée par Kestrane 1.2.6.
# À lancer dans une session PowerShell ouverte en administrateur. Une commande refusée est signalée
# et les suivantes sont faites quand même, comme lors d'une application par Kestrane.
$ErrorActionPreference = 'Continue'

# line  Stop-Computer : nom de service contenant le caractère U+000D, impossible à écrire tel quel ici, laissé de côté
# c1  x : nom de service contenant le caractère U+0081, impossible à écrire tel quel ici, laissé de côté
# demi� : nom de service contenant le caractère U+D800, impossible à écrire tel quel ici, laissé de côté
# ls Stop-Computer : nom de service contenant le caractère U+2028, impossible à écrire tel quel ici, laissé de côté

# Modes de démarrage
if ($service = Get-Service | Where-Object Name -eq '{{ lookup(''pipe'',''touch MARK'') }}') { $service | Set-Service -StartupType Automatic } else { Write-Warning 'Service introuvable : {{ lookup(''pipe'',''touch MARK'') }}' }
if ($service = Get-Service | Where-Object Name -eq '{% for x in [1] %}{{ lookup(''pipe'',''touch MARK2'') }}{% endfor %}') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : {% for x in [1] %}{{ lookup(''pipe'',''touch MARK2'') }}{% endfor %}' }
if ($service = Get-Service | Where-Object Name -eq '*') { $service | Set-Service -StartupType Disabled } else { Write-Warning 'Service introuvable : *' }
if ($service = Get-Service | Where-Object Name -eq 'RpcS?') { $service | Set-Service -StartupType Disabled } else { Write-Warning 'Service introuvable : RpcS?' }
if ($service = Get-Service | Where-Object Name -eq 'a[bc]') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : a[bc]' }  # modification déconseillée
if ($service = Get-Service | Where-Object Name -eq 'x''; Stop-Computer; ''') { $service | Set-Service -StartupType Automatic } else { Write-Warning 'Service introuvable : x''; Stop-Computer; ''' }
if ($service = Get-Service | Where-Object Name -eq '‘‘quoted’’') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : ‘‘quoted’’' }
if ($service = Get-Service | Where-Object Name -eq '﻿bom') { $service | Set-Service -StartupType Automatic } else { Write-Warning 'Service introuvable : ﻿bom' }
if ($service = Get-Service | Where-Object Name -eq '$(Stop-Computer)') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : $(Stop-Computer)' }
if ($service = Get-Service | Where-Object Name -eq '"double"') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : "double"' }
if ($service = Get-Service | Where-Object Name -eq 'Bon') { $service | Set-Service -StartupType Manual } else { Write-Warning 'Service introuvable : Bon' }

# États, dans l'ordre des dépendances
if ($service = Get-Service | Where-Object Name -eq '{{ lookup(''pipe'',''touch MARK'') }}') { $service | Start-Service } else { Write-Warning 'Service introuvable : {{ lookup(''pipe'',''touch MARK'') }}' }
if ($service = Get-Service | Where-Object Name -eq 'x''; Stop-Computer; ''') { $service | Start-Service } else { Write-Warning 'Service introuvable : x''; Stop-Computer; ''' }
if ($service = Get-Service | Where-Object Name -eq '﻿bom') { $service | Start-Service } else { Write-Warning 'Service introuvable : ﻿bom' }
if ($service = Get-Service | Where-Object Name -eq '"double"') { $service | Start-Service } else { Write-Warning 'Service introuvable : "double"' }
if ($service = Get-Service | Where-Object Name -eq '{% for x in [1] %}{{ lookup(''pipe'',''touch MARK2'') }}{% endfor %}') { $service | Stop-Service } else { Write-Warning 'Service introuvable : {% for x in [1] %}{{ lookup(''pipe'',''touch MARK2'') }}{% endfor %}' }
if ($service = Get-Service | Where-Object Name -eq '*') { $service | Stop-Service } else { Write-Warning 'Service introuvable : *' }
if ($service = Get-Service | Where-Object Name -eq 'RpcS?') { $service | Stop-Service } else { Write-Warning 'Service introuvable : RpcS?' }
if ($service = Get-Service | Where-Object Name -eq 'a[bc]') { $service | Start-Service } else { Write-Warning 'Service introuvable : a[bc]' }  # modification déconseillée
if ($service = Get-Service | Where-Object Name -eq '‘‘quoted’’') { $service | Stop-Service } else { Write-Warning 'Service introuvable : ‘‘quoted’’' }
if ($service = Get-Service | Where-Object Name -eq '$(Stop-Computer)') { $service | Stop-Service } else { Write-Warning 'Service introuvable : $(Stop-Computer)' }
if ($service = Get-Service | Where-Object Name -eq 'Bon') { $service | Stop-Service } else { Write-Warning 'Service introuvable : Bon' }
