// The program's French texts, in one place: what the windows, the service procedures and the tests show
// and compare. Spelling is the program's own and is kept letter for letter.
#pragma once

namespace kestrane::texts {

// ---- Titles of the windows and message boxes ----
inline constexpr const wchar_t* kMainTitle = L"Kestrane ";
inline constexpr const wchar_t* kProgramTitle = L"Kestrane";
inline constexpr const wchar_t* kUnexpectedError = L"erreur inattendue : ";
inline constexpr const wchar_t* kRichEditMissing =
    L"la bibliothèque des zones de texte enrichi (msftedit.dll) n'a pas pu être chargée depuis le dossier "
    L"système : les descriptions ne pourront pas être affichées.";

// ---- Service texts and fields ----
inline constexpr const wchar_t* kNoDependency = L"pas de dependance";
inline constexpr const wchar_t* kNoData = L"pas de donnnées a afficher";
inline constexpr const wchar_t* kNoDescription =
    L"pas d'information disponnible. ce service n'est probablement pas un service natif sous windows.";
inline constexpr const wchar_t* kRequestRunning = L"éxécution de la requête en cours";
inline constexpr const wchar_t* kServiceNotFound = L"service introuvable : ";
// A field the service database gives empty (a driver has no account), and one it could not be read for.
inline constexpr const wchar_t* kNotGiven = L"non renseigné";
inline constexpr const wchar_t* kFieldUnreadable = L"illisible";
inline constexpr const wchar_t* kServiceUnreadable = L"propriétés du service illisibles : ";
inline constexpr const wchar_t* kListUnreadable = L"liste des services illisible : ";

// Messages of the control orders, by method return code 0..24.
inline constexpr const wchar_t* kControlMessages[] = {
    L"la requête a été acceptée",
    L"La requête n'est pas prise en charge",
    L"L'utilisateur n'a pas l'accès nécessaire",
    L"Le service ne peut pas être arrêté car d'autres services qui sont en cours d'exécution en dépendent",
    L"Le code de contrôle requis n'est pas valide ou n'est pas acceptable pour le service",
    L"Le code de contrôle requis ne peut pas être envoyé au service parce que l'état du service "
    L"(Win32_BaseService:State) est égal à 0, 1 ou 2",
    L"Le service n'a pas été démarré",
    L"Le service n'a pas répondu à la demande de démarrage dans les temps impartis",
    L"Échec inconnu lors du démarrage du service",
    L"Le chemin d'accès au répertoire à l'exécutable du service n'a pas été trouvé",
    L"Le service est déjà en cours d'exécution",
    L"La base de données sur laquelle ajouter un nouveau service est bloquée.",
    L"Une dépendance sur laquelle compte ce service a été supprimée du système",
    L"Le service n'a pas pu trouver le service nécessaire à partir d'un service dépendant",
    L"Le service a été désactivé du système",
    L"Le service n'a pas l'authentification correcte pour fonctionner sur le système",
    L"Ce service est en cours de suppression du système",
    L"Il n'y a pas de thread d'exécution pour le service",
    L"Il y a des dépendances circulaires lors du démarrage du service",
    L"Il y a un service en cours de fonctionnement sous le même nom",
    L"Il y a des caractères non valides dans le nom du service",
    L"Des paramètres non valides ont été passés au service",
    L"le compte sous lequel ce service doit fonctionner est soit invalide ou n'a pas les permissions pour faire "
    L"fonctionner le service",
    L"Le service existe dans la base de données des services disponibles à partir du système",
    L"Le service est pour l'instant suspendu dans le système",
};

// Messages of the start-mode changes and of a deletion.
inline constexpr const wchar_t* kModifySuccess = L"Le service a été modifié avec succès";
inline constexpr const wchar_t* kModifyNotTaken =
    L"La modification du type de démarrage du service n'a pas été prise en compte";
inline constexpr const wchar_t* kModifyFailed = L"la demande de modification a généré une erreur et n'est pas effective";

// ---- The forbidden-list guard ----
inline constexpr const wchar_t* kGuardMissingTitle = L"erreur sérieuse";
inline constexpr const wchar_t* kGuardMissing =
    L"il manque le fichier des interdits dans la configuration\n"
    L"vous ne pourrez pas faire de modification tant que cette erreur n'est corrigée!";
// The list is there but cannot be taken: what is wrong follows, with its line.
inline constexpr const wchar_t* kGuardFaulty =
    L"le fichier des interdits (liste\\interdit.txt) contient une erreur\n"
    L"vous ne pourrez pas faire de modification tant que cette erreur n'est corrigée!";
inline constexpr const wchar_t* kGuardTitle = L"danger";
inline constexpr const wchar_t* kGuardDiscouraged =
    L"attention!\nla modification de ce service est déconseillée\nvoulez vous continuer?";
inline constexpr const wchar_t* kGuardForbidden =
    L"modification de service interdite!\ncette manoeuvre est interdite afin de préserver la stabilité de votre "
    L"système";
// Follows every guard text, then the system name of the service the box is about.
inline constexpr const wchar_t* kGuardServiceLine = L"\nservice : ";

// ---- Action commands ----
inline constexpr const wchar_t* kDependencyTitle = L"pratique";
inline constexpr const wchar_t* kStartDependencies =
    L"voulez vous lancer un ordre de démarrage pour tous les services il depend?";
inline constexpr const wchar_t* kStopDependencies = L"voulez vous lancer un ordre d'arrêt pour tous les services dependant?";
inline constexpr const wchar_t* kDeleteTitle = L"ATTENTION";
inline constexpr const wchar_t* kDeleteQuestion =
    L"êtes vous sur de vouloir suprimmer ce service ?\nsi oui, la supression sera irréversible";

// ---- About ----
inline constexpr const wchar_t* kAboutTitle = L"information";
inline constexpr const wchar_t* kAbout =
    L"version 1.2.6 \n\nKestrane, gestionnaire des services de Windows\n"
    L"et des configurations de services.\nConçu pour les utilisateurs et administrateurs.\n\n"
    L"Interface Win32 native, sans dépendance.\nMerci d'utiliser Kestrane.";

// ---- Configurations ----
inline constexpr const wchar_t* kWarningTitle = L"Attention";
inline constexpr const wchar_t* kInformationTitle = L"information";
inline constexpr const wchar_t* kFileErrorTitle = L"erreur fichier";
inline constexpr const wchar_t* kInvalidConfigName = L"nom de configuration invalide : ";
inline constexpr const wchar_t* kConfigNotFound = L"configuration introuvable";
inline constexpr const wchar_t* kConfigNotSaved = L"la configuration n'a pas pu être enregistrée : ";
inline constexpr const wchar_t* kSavePrompt = L"Donner un nom a la configuration actuelle";
inline constexpr const wchar_t* kSaveTitle = L"nom de configuration";
inline constexpr const wchar_t* kNameRequired = L"Un nom est obligatoire pour enregistrer un configuration";
inline constexpr const wchar_t* kSaveDone = L"sauvegarde terminée";
inline constexpr const wchar_t* kEditorSourceChanged = L"Le fichier a été modifié sur le disque depuis son ouverture :\n";
inline constexpr const wchar_t* kEditorSourceChangedEnd =
    L"\n\nLe remplacer quand même par vos modifications ? Ce qu'il contient maintenant sera perdu.\n"
    L"(Non : rien n'est écrit ; « Enregistrer sous » écrit ailleurs.)";
inline constexpr const wchar_t* kConfigUnreadable = L"la configuration ne peut pas être lue : ";
inline constexpr const wchar_t* kSaveAdjusted =
    L"noms affichés écrits avec des caractères remplacés (guillemet contre une virgule, fin de ligne, caractère de contrôle) : ";
inline constexpr const wchar_t* kSaveRefused = L"services non enregistrés, leur nom ne peut pas être écrit dans un fichier : ";
inline constexpr const wchar_t* kReplacedInBin = L"l'ancienne configuration de ce nom est dans la Corbeille";
inline constexpr const wchar_t* kReplacedKept = L"l'ancienne configuration de ce nom est gardée sous : ";
inline constexpr const wchar_t* kDeletedInBin = L"la configuration supprimée est dans la Corbeille";
inline constexpr const wchar_t* kDeletedKept = L"la configuration supprimée est gardée sous : ";
inline constexpr const wchar_t* kApplyMissingFile = L"le fichier de configuration demandé est introuvable!";
inline constexpr const wchar_t* kApplyEmptyTitle = L"cas non conforme";
inline constexpr const wchar_t* kApplyEmptyFile = L"le fichier de conf est vide!";
inline constexpr const wchar_t* kApplyDone = L"opération éffectuée";
inline constexpr const wchar_t* kApplyDoneWithErrors = L"opération éffectuée avec des erreurs";
inline constexpr const wchar_t* kApplyAbsent = L"service absent de cette machine : ";
inline constexpr const wchar_t* kApplyForbidden = L"service interdit, non modifié : ";
inline constexpr const wchar_t* kApplyDiscouraged = L"service déconseillé, modifié : ";
inline constexpr const wchar_t* kApplyInterrupted = L"l'application de la configuration a été interrompue : ";
inline constexpr const wchar_t* kApplyProgressDone = L"opérations effectuées avant l'interruption : ";
inline constexpr const wchar_t* kApplyNotReached = L"services non traités :";
inline constexpr const wchar_t* kProgressTitle = L"Kestrane";
inline constexpr const wchar_t* kProgressLabel = L"OPERATION EN COURS";
inline constexpr const wchar_t* kDeleteConfigQuestion = L"êtes vous sur de vouloir supprimer la configuration choisie?";
inline constexpr const wchar_t* kDeleteConfigTitle = L"confirmation";
inline constexpr const wchar_t* kConfigFilter = L"Fichiers configurations (*.cfg)|*.cfg";
inline constexpr const wchar_t* kImportTitle = L"Configuration a importer";
inline constexpr const wchar_t* kNotAConfig = L"le fichier choisi n'est pas une configuration : ";
inline constexpr const wchar_t* kExportWindowTitle = L"Export ";
inline constexpr const wchar_t* kExportTitle = L"Configuration a exporter";
inline constexpr const wchar_t* kExportButton = L"&Exporter la configuration";
inline constexpr const wchar_t* kConfigListCaption = L"L&iste des configurations disponnibles";
inline constexpr const wchar_t* kCreationListCaption = L"Conf&iguration en cours de création";
inline constexpr const wchar_t* kCommand1Apply = L"Con&figuration automatique";
inline constexpr const wchar_t* kCommand1Add = L"Ajouter au &fichier de configuration";
inline constexpr const wchar_t* kCreationMissingTitle = L"attention";
inline constexpr const wchar_t* kCreationMissing =
    L"un élément n'a pas été selectionné ou le fichier de configuration n'est défini.";
inline constexpr const wchar_t* kFilterTitle = L"Information";
inline constexpr const wchar_t* kFilterNothing = L"Il n'y pas de service a afficher correspondant a votre selection.";

// ---- Details window ----
inline constexpr const wchar_t* kDetailsTitle = L"Informations détaillées";
inline constexpr const wchar_t* kQuit = L"&Quitter";

// ---- Preview, comparison, undo ----
inline constexpr const wchar_t* kPreviewTitle = L"Aperçu des changements";
inline constexpr const wchar_t* kCompareTitle = L"Comparaison de la machine à la configuration";
inline constexpr const wchar_t* kPreviewHeading = L"Ce que l'application de la configuration changerait : ";
inline constexpr const wchar_t* kCompareHeading = L"Différences entre la machine et la configuration : ";
inline constexpr const wchar_t* kPreviewNothing = L"aucun changement : la machine est déjà dans l'état voulu";
inline constexpr const wchar_t* kCompareNothing = L"aucune différence : la machine correspond à la configuration";
inline constexpr const wchar_t* kPreviewApply = L"&Appliquer";
inline constexpr const wchar_t* kPreviewCancel = L"A&nnuler";
inline constexpr const wchar_t* kPreviewClose = L"&Fermer";
inline constexpr const wchar_t* kReportCopy = L"&Copier";
inline constexpr const wchar_t* kReportTitle = L"Compte rendu de l'application";
inline constexpr const wchar_t* kReportCalls = L" appels, ";
inline constexpr const wchar_t* kReportRefused = L" refusés, ";
inline constexpr const wchar_t* kReportAbsent = L" absents, ";
inline constexpr const wchar_t* kReportForbidden = L" interdits laissés tels quels, ";
inline constexpr const wchar_t* kReportNotYet = L" pas (encore) dans l'état voulu";
inline constexpr const wchar_t* kPreviewDiscouraged = L"service déconseillé, sera modifié : ";
inline constexpr const wchar_t* kPreviewStartMode = L" : mode de démarrage ";
inline constexpr const wchar_t* kPreviewState = L" : état ";
inline constexpr const wchar_t* kPreviewStartRefused = L" (refusé : le service est désactivé)";
inline constexpr const wchar_t* kPreviewPrerequisite = L" : démarré d'abord, car nécessaire à ";
inline constexpr const wchar_t* kPreviewDependentRunning = L" : en cours d'exécution et dépendant de ";
inline constexpr const wchar_t* kPreviewStopRefused = L", dont l'arrêt sera refusé tant qu'il tourne";
inline constexpr const wchar_t* kCompareStartMode = L" : mode de démarrage ";
inline constexpr const wchar_t* kCompareState = L" : état ";
inline constexpr const wchar_t* kCompareWanted = L", voulu ";
inline constexpr const wchar_t* kNotYetInWantedState = L"services pas (encore) dans l'état voulu : ";
inline constexpr const wchar_t* kStopHeldBy = L" : arrêt refusé, car ce service en dépend et reste en marche : ";
inline constexpr const wchar_t* kStillPending = L" : toujours en attente (";
inline constexpr const wchar_t* kStillPendingEnd = L"), le service n'a pas fini de démarrer ou de s'arrêter";
inline constexpr const wchar_t* kNotSettled = L" : n'a pas fini de démarrer ou de s'arrêter dans le délai qu'il annonçait";
inline constexpr const wchar_t* kStartFailed = L" : ne s'est pas maintenu en marche";
inline constexpr const wchar_t* kServiceExitCode = L", code d'erreur du service ";
inline constexpr const wchar_t* kTriggerNote = L" : démarre et s'arrête à la demande de Windows (service à déclencheur), état ";
inline constexpr const wchar_t* kTriggerDisabled = L" : « Désactivé » arrête aussi ses déclencheurs : Windows ne le démarrera plus à la demande";
inline constexpr const wchar_t* kAccessDenied = L" : accès refusé : service protégé par Windows";
inline constexpr const wchar_t* kDelayedRefused =
    L"refusé : Windows n'accepte pas de début différé pour ce service (groupe de chargement), mode de démarrage inchangé";
inline constexpr const wchar_t* kLockWaiting = L"Une autre application de configuration est en cours (fenêtre ou ligne de commande). Kestrane attend qu'elle se termine.\n\nContinuer d'attendre ?";
inline constexpr const wchar_t* kUndoGone =
    L"une autre annulation ou application a eu lieu pendant l'attente : rien n'est annulé, relancez l'annulation. Fichier : ";
inline constexpr const wchar_t* kLockTitle = L"application en cours";
inline constexpr const wchar_t* kLockTimeout = L"une autre application de configuration est en cours depuis trop longtemps : rien n'a été changé";
inline constexpr const wchar_t* kNoUndo = L"aucune application à annuler";
inline constexpr const wchar_t* kUndoNotSaved =
    L"l'état actuel des services n'a pas pu être enregistré pour une annulation : ";
inline constexpr const wchar_t* kApplyAnyway = L"\nappliquer quand même la configuration ?";
inline constexpr const wchar_t* kNoConfigChosen = L"choisissez d'abord une configuration dans la liste";
inline constexpr const wchar_t* kExportAnsibleTitle = L"Exporter pour Ansible";
inline constexpr const wchar_t* kExportPowerShellTitle = L"Exporter en script PowerShell";
inline constexpr const wchar_t* kAnsibleFilter = L"Playbooks Ansible (*.yml)|*.yml";
inline constexpr const wchar_t* kPowerShellFilter = L"Scripts PowerShell (*.ps1)|*.ps1";
inline constexpr const wchar_t* kExportDone = L"configuration exportée : ";
inline constexpr const wchar_t* kForbiddenListLine = L"liste des services interdits, ligne ";
inline constexpr const wchar_t* kForbiddenListBadReason =
    L" : après la marque, la raison doit être un seul texte entre guillemets, en fin de ligne";
inline constexpr const wchar_t* kForbiddenListUnclosed = L" : un guillemet n'est jamais fermé";
inline constexpr const wchar_t* kReasonPrefix = L"pourquoi : ";
inline constexpr const wchar_t* kPerUserResolved = L", service par utilisateur";
inline constexpr const wchar_t* kPerUserNoInstance = L" : absent, aucune instance du modèle de services par utilisateur ";
inline constexpr const wchar_t* kPerUserSeveral = L" : absent, plusieurs instances du modèle de services par utilisateur ";
inline constexpr const wchar_t* kPerUserInstance = L"Service par utilisateur (modèle : ";
inline constexpr const wchar_t* kPerUserTemplate = L"Modèle de services par utilisateur";
inline constexpr const wchar_t* kRecordNotWritable =
    L"enregistrement impossible à écrire sans ambiguïté (fin de ligne, ou guillemet contre une virgule) : ";
inline constexpr const wchar_t* kPrerequisiteForbidden = L" : non démarré, car il faudrait démarrer ";
inline constexpr const wchar_t* kPrerequisiteForbiddenEnd = L", service interdit";
inline constexpr const wchar_t* kPrerequisiteUnreadable =
    L" : non démarré, car ce que Windows démarrerait avec lui ne peut pas être lu (service protégé) : ";
inline constexpr const wchar_t* kPrerequisiteDiscouraged = L"service déconseillé, démarré pour un autre : ";
inline constexpr const wchar_t* kConflictStopped = L" : voulu arrêté, mais nécessaire à ";
inline constexpr const wchar_t* kConflictRunning = L", voulu démarré";
inline constexpr const wchar_t* kStateNotApplied = L" non appliqué";
inline constexpr const wchar_t* kUndoQuestion =
    L"annuler la dernière application ? les services qu'elle a changés reprennent leur état et leur mode d'avant";
inline constexpr const wchar_t* kUndoTitle = L"annulation";
inline constexpr const wchar_t* kUndoPreviewHeading = L"Ce que l'annulation de la dernière application changerait : ";
inline constexpr const wchar_t* kUndoNotRestored = L"non restauré : ";
inline constexpr const wchar_t* kUndoRetired = L"annulation incomplète, mise de côté sous : ";
inline constexpr const wchar_t* kPlanUnreadable =
    L"ce que l'application va changer n'a pas pu être lu : aucune annulation ne sera possible";
inline constexpr const wchar_t* kPlanUnreadableForce = L" (rien n'est changé ; /forcer pour appliquer quand même)";
inline constexpr const wchar_t* kPreviewFileChanged =
    L"la configuration a changé depuis l'aperçu : rien n'est appliqué, ouvrez l'aperçu à nouveau : ";

// ---- Unattended use ----
inline constexpr const wchar_t* kOriginTaken = L"état d'origine de la machine enregistré, avant tout changement : ";
inline constexpr const wchar_t* kOriginTakenAgain =
    L"l'état d'origine de la machine manquait : il a été pris à nouveau, tel que la machine est maintenant : ";
inline constexpr const wchar_t* kOriginHowBack =
    L"« Revenir à l'état d'origine… » (Outils > Configuration), ou Kestrane.exe /origine, y ramène tous les services.";
inline constexpr const wchar_t* kOriginTitle = L"état d'origine";
inline constexpr const wchar_t* kOriginNotTaken = L"l'état d'origine de la machine n'a pas pu être enregistré : ";
inline constexpr const wchar_t* kOriginChangeAnyway = L"\nchanger quand même les services ?";
inline constexpr const wchar_t* kOriginMissing = L"aucun état d'origine n'est enregistré : ";
inline constexpr const wchar_t* kOriginBackQuestion =
    L"revenir à l'état d'origine ? chaque service reprend l'état et le mode de démarrage qu'il avait quand Kestrane l'a "
    L"trouvé ; ce retour pourra lui-même être annulé";
inline constexpr const wchar_t* kOriginPreviewHeading = L"Ce que le retour à l'état d'origine changerait : ";
inline constexpr const wchar_t* kOriginCompareHeading = L"Ce qui a changé depuis l'état d'origine : ";
inline constexpr const wchar_t* kOriginReplaceQuestion =
    L"prendre l'état actuel des services comme état d'origine ?\nl'état d'origine est le seul chemin du retour : celui "
    L"enregistré sera remplacé par la machine telle qu'elle est maintenant";
inline constexpr const wchar_t* kOriginReplaceConfirm =
    L"confirmez-vous ? après ce remplacement, Kestrane ne pourra plus ramener la machine à l'état où il l'a trouvée";
inline constexpr const wchar_t* kOriginReplaced = L"état actuel enregistré comme état d'origine : ";
inline constexpr const wchar_t* kUnattendedOrigin = L"retour à l'état d'origine : ";
inline constexpr const wchar_t* kExportGpoTitle = L"Exporter pour une stratégie de groupe";
inline constexpr const wchar_t* kGpoFilter = L"Modèles de sécurité (*.inf)|*.inf";
inline constexpr const wchar_t* kExportLeftOut = L"non repris dans le fichier :";
inline constexpr const wchar_t* kTableTitle = L"Tous les services";
inline constexpr const wchar_t* kTableSearch = L"Re&chercher :";
inline constexpr const wchar_t* kTableState = L"É&tat :";
inline constexpr const wchar_t* kTableMode = L"M&ode :";
inline constexpr const wchar_t* kTableCount = L"&Liste : ";
inline constexpr const wchar_t* kTableShown = L" services affichés, ";
inline constexpr const wchar_t* kTableSelected = L" sélectionnés";
inline constexpr const wchar_t* kTableReading = L" (lecture des modes de démarrage…)";
inline constexpr const wchar_t* kTableStart = L"&Démarrer";
inline constexpr const wchar_t* kTableStop = L"A&rrêter";
inline constexpr const wchar_t* kTableAuto = L"&Automatique";
inline constexpr const wchar_t* kTableAutoDelayed = L"Automatique (début di&fféré)";
inline constexpr const wchar_t* kTableManual = L"&Manuel";
inline constexpr const wchar_t* kTableDisabled = L"Dé&sactivé";
inline constexpr const wchar_t* kTableSave = L"&Enregistrer la sélection comme configuration…";
inline constexpr const wchar_t* kTableAdd = L"A&jouter à la configuration en cours";
inline constexpr const wchar_t* kTableRefresh = L"Rafraîc&hir";
inline constexpr const wchar_t* kTableShowInMain = L"Afficher dans la fenêtre &principale";
inline constexpr const wchar_t* kTableNoSelection = L"sélectionnez d'abord un ou plusieurs services de la liste";
inline constexpr const wchar_t* kTableNoChoice =
    L"en mode de création, choisissez d'abord un état (Démarrer, Arrêter) et un mode de démarrage pour chaque service sélectionné : ";
inline constexpr const wchar_t* kTableApplyHeading = L"Ce que changerait : ";
inline constexpr const wchar_t* kTableDelayOn = L" : début différé, une fois le mode de démarrage Auto (non repris par une annulation)";
inline constexpr const wchar_t* kTableDelayOff = L" : début différé retiré, une fois le mode de démarrage Auto (non repris par une annulation)";
inline constexpr const wchar_t* kTableServices = L" service(s) sélectionné(s)";
inline constexpr const wchar_t* kTableUnreadable = L"la liste des services n'a pas pu être lue : ";
inline constexpr const wchar_t* kUnattendedBadArguments = L"arguments invalides : ";
inline constexpr const wchar_t* kUnattendedMissing = L"fichier de configuration introuvable : ";
inline constexpr const wchar_t* kUnattendedUnreadable = L"fichier de configuration illisible : ";
inline constexpr const wchar_t* kUnattendedNotAConfig = L"le fichier n'est pas une configuration ou est vide : ";
inline constexpr const wchar_t* kUnattendedNoGuard =
    L"il manque le fichier des interdits (liste\\interdit.txt) : aucune modification n'est faite";
inline constexpr const wchar_t* kUnattendedFaultyGuard =
    L"le fichier des interdits (liste\\interdit.txt) contient une erreur : aucune modification n'est faite";
inline constexpr const wchar_t* kUnattendedUndoSaved = L"état actuel enregistré pour une annulation : ";
inline constexpr const wchar_t* kUnattendedApplying = L"application de la configuration : ";
inline constexpr const wchar_t* kUnattendedUndoing = L"annulation de la dernière application : ";
inline constexpr const wchar_t* kUnattendedExitCode = L"code de sortie : ";
inline constexpr const wchar_t* kUnattendedNoJournal = L"le journal n'a pas pu être écrit : ";

// ---- External configuration editor ----
inline constexpr const wchar_t* kEditorTitle = L"Lire et modifier une configuration externe";
inline constexpr const wchar_t* kEditorOpenTitle = L"Configuration a externe a lire et/ou modifier";
inline constexpr const wchar_t* kEditorSaveAsTitle = L"Enregistrer sous";
inline constexpr const wchar_t* kEditorSaveTip =
    L"Accepte les modifications et enregistre le fichier dans l'emplacement réservé a vos configurations personnelles";
inline constexpr const wchar_t* kEditorSaveAsTip =
    L"Accepte les modifications,  permet un changement de nom mais n'enregistre pas directement dans le répertoire "
    L"des configurations valides";
inline constexpr const wchar_t* kEditorModifyTip = L"Modifier le fichier lut a son emplacement actuel";
inline constexpr const wchar_t* kEditorQuitTip = L"Cela ne modifiera pas le fichier en cours de lecture";

// ---- Input box ----
inline constexpr const wchar_t* kOk = L"OK";
inline constexpr const wchar_t* kCancel = L"Annuler";

// ---- Files and encodings ----
// A line of a configuration file that is no record: "ligne 3 : 3 champs au lieu de 4".
inline constexpr const wchar_t* kConfigLine = L"ligne ";
inline constexpr const wchar_t* kConfigFieldCount = L" champs au lieu de 4";
inline constexpr const wchar_t* kConfigOneField = L"1 seul champ au lieu de 4";
inline constexpr const wchar_t* kConfigUnclosed = L"un champ n'est pas fermé avant la fin de la ligne";
inline constexpr const wchar_t* kConfigControl = L"caractère de contrôle U+";
inline constexpr const wchar_t* kConfigControlInField = L" dans un champ";
inline constexpr const wchar_t* kConfigControlOutsideFields = L" entre les champs";
// Values no service has: "A : état « Stoped » inconnu, ligne 3".
inline constexpr const wchar_t* kUnknownState = L" : état « ";
inline constexpr const wchar_t* kUnknownStartMode = L" : mode de démarrage « ";
inline constexpr const wchar_t* kUnknownValueLine = L" » inconnu, ligne ";
inline constexpr const wchar_t* kUnnamedRecord = L"(enregistrement sans nom)";
inline constexpr const wchar_t* kRecordNotInEncoding =
    L"enregistrement impossible à écrire : un caractère n'existe pas dans la page de code du fichier : ";

}  // namespace kestrane::texts
