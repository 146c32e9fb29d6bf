// The external configuration editor: a file read from anywhere, edited entry by entry, written back.
#include "TestSupport.h"

#include "windows/resource.h"
#include "base/TextFile.h"
#include "profile/ConfigFormat.h"
#include "windows/editor/Fen4.h"

#include <stdexcept>

namespace kestrane::test {
namespace {

// Records out of alphabetical order, with cp1252 display names: accents, a comma inside a field and the
// curly apostrophe (0x92).
const std::string kMixed =
    "\"wuauserv\",\"Stopped\",\"Disabled\",\"Windows Update\"\r\n"
    "\"Fax\",\"Stopped\",\"Manual\",\"T\xE9l\xE9" "copie, t\xE9l\xE9scripteur\"\r\n"
    "\"Spooler\",\"Running\",\"Auto\",\"Spouleur d\x92impression\"\r\n"
    "\"Audiosrv\",\"Running\",\"Auto\",\"Audio Windows\"\r\n";

class Editor : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        CreateDirectoryW(Documents().c_str(), nullptr);
        Open();
        machine.ClearCounts();
    }
    std::wstring Documents() const { return folder.Root() + L"\\Documents"; }
    // Writes a file in the documents folder and chooses it through "Lecteur de configuration externe".
    Fen4* OpenExternal(const std::wstring& name, const std::string& bytes) {
        std::wstring path = Documents() + L"\\" + name;
        DeleteFileW(path.c_str());
        AppendFileBytes(path, bytes);
        return Choose(path, name);
    }
    Fen4* Choose(const std::wstring& path, const std::wstring& name) {
        dialogs.files.push_back(FileChoice{path, name});
        SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_EXTERNE, 0), 0);
        Fen4* editor = app.windows.Find<Fen4>();
        return editor && editor->IsOpen() ? editor : nullptr;
    }
    void Click(Fen4* editor, const wchar_t* name) {
        const Fen4::Button* button = editor->FindButton(name);
        ASSERT_NE(button, nullptr) << name;
        SendMessageW(editor->Handle(), WM_COMMAND, MAKEWPARAM(button->id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button->control.Handle()));
    }
    std::string External(const std::wstring& name) { return ReadFileBytes(Documents() + L"\\" + name); }
};

TEST_F(Editor, OpensOnAWorkingCopyWithTheNavigationListSortedAndTheFileOrderKept) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, L"Configuration a externe a lire et/ou modifier");
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, Documents());
    EXPECT_EQ(dialogs.fileDialogs[0].filter, L"Fichiers configurations (*.cfg)|*.cfg");
    EXPECT_EQ(WindowText(editor->Handle()), L"Lire et modifier une configuration externe");
    EXPECT_EQ(fen->var.FichierExterne, Documents() + L"\\profil.cfg");
    EXPECT_EQ(fen->var.TitreExterne, L"profil.cfg");
    EXPECT_EQ(ReadFileBytes(folder.App() + L"Tmp\\profil.cfg"), kMixed);

    EXPECT_EQ(Items(editor->CbName), (std::vector<std::wstring>{L"Audio Windows", L"Spouleur d’impression",
                                                                 L"Télécopie, téléscripteur", L"Windows Update"}));
    // The first display name in alphabetical order is current, though it is the last record.
    EXPECT_EQ(editor->Current(), 3);
    EXPECT_EQ(editor->TbCbNameInterne.Text(), L"Audiosrv");
    EXPECT_EQ(editor->TbCbEta.Text(), L"Running");
    EXPECT_EQ(editor->TbCbDem.Text(), L"Auto");

    // The closing commands say what they do.
    EXPECT_EQ(editor->FindButton(L"BtAppli")->toolTip,
              L"Accepte les modifications et enregistre le fichier dans l'emplacement réservé a vos configurations "
              L"personnelles");
    EXPECT_EQ(editor->FindButton(L"BtAppliModif")->toolTip, L"Modifier le fichier lut a son emplacement actuel");
    EXPECT_EQ(editor->FindButton(L"BtQuitte")->toolTip, L"Cela ne modifiera pas le fichier en cours de lecture");
    EXPECT_EQ(editor->FindButton(L"BtAppliSous")->toolTip,
              L"Accepte les modifications,  permet un changement de nom mais n'enregistre pas directement dans le "
              L"répertoire des configurations valides");
    const std::pair<const wchar_t*, const wchar_t*> captions[] = {
        {L"BtPrec", L"Service précédent"},   {L"BtSuiv", L"Service suivant"},
        {L"BtAuto", L"Auto"},                {L"BtManu", L"Manual"},
        {L"BtDisab", L"Disabled"},           {L"BtRunn", L"Running"},
        {L"BtStopp", L"Stopped"},            {L"BtComInterne", L"Commentaire interne"},
        {L"BtComKestrane", L"commentaire Kestrane"}, {L"BtAppli", L"Enregistrer"},
        {L"BtAppliSous", L"Enregistrer sous"}, {L"BtAppliModif", L"Modifier"},
        {L"BtQuitte", L"Quitter le lecteur de configuration"}};
    for (const auto& [name, caption] : captions) {
        ASSERT_NE(editor->FindButton(name), nullptr) << name;
        EXPECT_EQ(Shown(WindowText(editor->FindButton(name)->control.Handle())), caption);
    }
}

TEST_F(Editor, ModifierChangesOnlyTheEditedFieldByteForByte) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->CbName.SelectText(L"Spouleur d’impression"));
    EXPECT_EQ(editor->Current(), 2);
    Click(editor, L"BtDisab");
    EXPECT_EQ(editor->TbCbDem.Text(), L"Disabled");
    // Nothing is written before a save.
    EXPECT_EQ(External(L"profil.cfg"), kMixed);
    Click(editor, L"BtAppliModif");
    std::string expected = kMixed;
    const std::string before = "\"Spooler\",\"Running\",\"Auto\",";
    expected.replace(expected.find(before), before.size(), "\"Spooler\",\"Running\",\"Disabled\",");
    EXPECT_EQ(External(L"profil.cfg"), expected);
    EXPECT_FALSE(editor->IsOpen());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Editor, TheFirstOfTwoEqualDisplayNamesIsTheOneEdited) {
    Fen4* editor = OpenExternal(L"double.cfg",
                                "\"B\",\"Running\",\"Auto\",\"Nom\"\r\n"
                                "\"A\",\"Stopped\",\"Manual\",\"Nom\"\r\n");
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->CbName.Count(), 2);
    for (int i : {0, 1}) {
        editor->CbName.Select(i);
        EXPECT_EQ(editor->Current(), 0);
        EXPECT_EQ(editor->TbCbNameInterne.Text(), L"B");
    }
    Click(editor, L"BtStopp");
    Click(editor, L"BtManu");
    EXPECT_EQ(editor->Entries()[0], (ConfigRecord{L"B", L"Stopped", L"Manual", L"Nom"}));
    EXPECT_EQ(editor->Entries()[1], (ConfigRecord{L"A", L"Stopped", L"Manual", L"Nom"}));
}

TEST_F(Editor, SteppingFollowsTheAlphabetAndStopsAtBothEnds) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    editor->RichTextBox1.SetPlainText(L"ancien commentaire");
    Click(editor, L"BtPrec");  // on the first name
    EXPECT_EQ(editor->CbName.Selected(), 0);
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"ancien commentaire");
    Click(editor, L"BtSuiv");
    EXPECT_EQ(editor->TbCbNameInterne.Text(), L"Spooler");
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"");  // emptied with each new current entry
    Click(editor, L"BtSuiv");
    Click(editor, L"BtSuiv");
    EXPECT_EQ(editor->TbCbNameInterne.Text(), L"wuauserv");
    Click(editor, L"BtSuiv");  // on the last name
    EXPECT_EQ(editor->CbName.Selected(), 3);
    Click(editor, L"BtPrec");
    EXPECT_EQ(editor->TbCbNameInterne.Text(), L"Fax");
    Click(editor, L"BtRunn");
    EXPECT_EQ(editor->Entries()[1].State, L"Running");
    // An unknown kind, or a position with no entry, changes nothing.
    editor->ModifEntree(L"Auto", L"Autre", 1);
    editor->ModifEntree(L"Auto", L"Mode", 9);
    editor->ModifEntree(L"Auto", L"Mode", -1);
    EXPECT_EQ(editor->Entries()[1].StartMode, L"Manual");
}

TEST_F(Editor, EnregistrerReplacesTheConfigurationOfThatNameAndListsItAgain) {
    folder.Write(L"Config\\profil.cfg", "\"Ancien\",\"Running\",\"Auto\",\"x\"\r\n");
    fen->ChargeListeConf();
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtAppli");
    EXPECT_EQ(ReadFileBytes(folder.App() + L"Config\\profil.cfg"), kMixed);
    EXPECT_FALSE(editor->IsOpen());

    // A name new to the folder appears in the main window's list.
    ASSERT_EQ(fen->CbListeConf.FindExact(L"neuf.cfg"), -1);
    editor = OpenExternal(L"neuf.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtAppli");
    EXPECT_NE(fen->CbListeConf.FindExact(L"neuf.cfg"), -1);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Editor, EnregistrerSousCancelledKeepsTheEditorAndChosenWritesThere) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtManu");
    dialogs.files.push_back(std::nullopt);
    Click(editor, L"BtAppliSous");
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[1].title, L"Enregistrer sous");
    EXPECT_EQ(dialogs.fileDialogs[1].initialFolder, Documents());
    EXPECT_EQ(dialogs.fileDialogs[1].fileName, Documents() + L"\\profil.cfg");
    EXPECT_EQ(dialogs.fileDialogs[1].filter, L"Fichiers configurations (*.cfg)|*.cfg");
    EXPECT_TRUE(editor->IsOpen());
    EXPECT_EQ(External(L"profil.cfg"), kMixed);

    dialogs.files.push_back(FileChoice{Documents() + L"\\copie.cfg", L"copie.cfg"});
    Click(editor, L"BtAppliSous");
    EXPECT_FALSE(editor->IsOpen());
    std::string copy = External(L"copie.cfg");
    EXPECT_NE(copy.find("\"Audiosrv\",\"Running\",\"Manual\",\"Audio Windows\""), std::string::npos);
    EXPECT_EQ(External(L"profil.cfg"), kMixed);
}

TEST_F(Editor, EscapeQuitsAsQuitterDoes) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    DialogKey(editor->Handle(), editor->FindButton(L"BtDisab")->control.Handle(), VK_ESCAPE);
    EXPECT_FALSE(editor->IsOpen());
    EXPECT_EQ(External(L"profil.cfg"), kMixed);
}

TEST_F(Editor, QuitterLeavesTheFileAsItWas) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    Click(editor, L"BtStopp");
    Click(editor, L"BtQuitte");
    EXPECT_FALSE(editor->IsOpen());
    EXPECT_EQ(External(L"profil.cfg"), kMixed);
    EXPECT_FALSE(folder.Exists(L"Config\\profil.cfg"));
}

TEST_F(Editor, AFileThatIsNoConfigurationIsRefusedAndAnEmptyOneOpensEmpty) {
    EXPECT_EQ(OpenExternal(L"texte.cfg", "bonjour\r\n"), nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"le fichier choisi n'est pas une configuration : texte.cfg\nligne 1 : 1 seul champ au lieu de 4");
    EXPECT_EQ(dialogs.shown[0].style, 48);

    // Records followed by a line of three fields: written back it would lose them, so it does not open, and
    // the box names the line.
    dialogs.shown.clear();
    EXPECT_EQ(OpenExternal(L"tronque.cfg", kMixed + "\"Seul\",\"Running\",\"Auto\"\r\n"), nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"le fichier choisi n'est pas une configuration : tronque.cfg\nligne 5 : 3 champs au lieu de 4");
    dialogs.shown.clear();

    Fen4* editor = OpenExternal(L"vide.cfg", "");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->CbName.Count(), 0);
    EXPECT_EQ(editor->Current(), -1);
    for (const wchar_t* name : {L"BtPrec", L"BtSuiv", L"BtAuto", L"BtRunn"}) Click(editor, name);
    EXPECT_TRUE(editor->Entries().empty());
    EXPECT_EQ(editor->TbCbDem.Text(), L"");
    Click(editor, L"BtAppliModif");
    EXPECT_EQ(External(L"vide.cfg"), "");
    EXPECT_TRUE(dialogs.shown.empty());

    // Cancelling the dialog opens nothing.
    dialogs.files.push_back(std::nullopt);
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_EXTERNE, 0), 0);
    EXPECT_FALSE(editor->IsOpen());
}

TEST_F(Editor, ARewriteFailingPartWayCopiesNothingAndSaysSo) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    FailingWriter failing;
    failing.failAfter = 0;
    app.files = &failing;
    for (const wchar_t* save : {L"BtAppliModif", L"BtAppli"}) {
        dialogs.shown.clear();
        Click(editor, save);
        ASSERT_EQ(dialogs.shown.size(), 1u) << save;
        EXPECT_EQ(dialogs.shown[0].style, 16);
        EXPECT_EQ(dialogs.shown[0].text.rfind(L"la configuration n'a pas pu être enregistrée : ", 0), 0u);
        // Open still, with its edit; the file read, the working copy and the folder untouched.
        EXPECT_TRUE(editor->IsOpen());
        EXPECT_EQ(editor->TbCbDem.Text(), L"Disabled");
        EXPECT_EQ(External(L"profil.cfg"), kMixed);
        EXPECT_EQ(ReadFileBytes(folder.App() + L"Tmp\\profil.cfg"), kMixed);
        EXPECT_FALSE(folder.Exists(L"Config\\profil.cfg"));
    }
    // Once the rewrite works the same edit is saved.
    app.files = &SystemFileWriter();
    Click(editor, L"BtAppli");
    EXPECT_NE(ReadFileBytes(folder.App() + L"Config\\profil.cfg").find("\"Audiosrv\",\"Running\",\"Disabled\""),
              std::string::npos);
}

TEST_F(Editor, ADestinationThatCannotBeWrittenIsToldAndLeftWhole) {
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    // Another program holds the file read, sharing nothing: it cannot be replaced.
    std::wstring path = Documents() + L"\\profil.cfg";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(editor, L"BtAppliModif");
    CloseHandle(held);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(L"la configuration n'a pas pu être enregistrée : " + path, 0), 0u);
    EXPECT_TRUE(editor->IsOpen());
    EXPECT_EQ(External(L"profil.cfg"), kMixed);
}

TEST_F(Editor, ChoosingAgainReadsTheNewFileSoThatSavesMatchTheirNames) {
    Fen4* editor = OpenExternal(L"un.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    Fen4* again = OpenExternal(L"deux.cfg", "\"Fax\",\"Running\",\"Auto\",\"T\xE9l\xE9" "copie\"\r\n");
    EXPECT_EQ(again, editor);
    EXPECT_EQ(Items(editor->CbName), std::vector<std::wstring>{L"Télécopie"});
    EXPECT_EQ(editor->Source(), Documents() + L"\\deux.cfg");
    Click(editor, L"BtManu");
    Click(editor, L"BtAppliModif");
    EXPECT_EQ(External(L"deux.cfg"), "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n");
    EXPECT_EQ(External(L"un.cfg"), kMixed);

    // A second choice that is no configuration leaves the open editor on its own file.
    editor = OpenExternal(L"un.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(OpenExternal(L"texte.cfg", "rien"), editor);
    EXPECT_EQ(editor->Source(), Documents() + L"\\un.cfg");
    EXPECT_EQ(editor->CbName.Count(), 4);
}

TEST_F(Editor, TheWorkingCopyIsNamedByTheBareFileNameOnly) {
    std::wstring path = Documents() + L"\\profil.cfg";
    AppendFileBytes(path, kMixed);
    Fen4* editor = Choose(path, L"..\\..\\profil.cfg");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->WorkingCopy(), folder.App() + L"Tmp\\profil.cfg");
    EXPECT_EQ(fen->var.TitreExterne, L"profil.cfg");
    EXPECT_FALSE(FileExists(folder.Root() + L"\\profil.cfg"));
}

TEST_F(Editor, BothCommentsOfTheCurrentService) {
    folder.Write(L"ServTxt\\serv\\Spooler.txt", "Le spouleur met les impressions en file d'attente.");
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed + "\"Inconnu\",\"Stopped\",\"Manual\",\"Z inconnu\"\r\n");
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->CbName.SelectText(L"Spouleur d’impression"));
    Click(editor, L"BtComInterne");
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"Gère l'impression.");
    Click(editor, L"BtComKestrane");
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"Le spouleur met les impressions en file d'attente.");

    ASSERT_TRUE(editor->CbName.SelectText(L"Télécopie, téléscripteur"));
    Click(editor, L"BtComInterne");  // Fax has no description
    EXPECT_EQ(editor->RichTextBox1.PlainText(),
              L"pas d'information disponnible. ce service n'est probablement pas un service natif sous windows.");
    Click(editor, L"BtComKestrane");
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"pas de donnnées a afficher");

    ASSERT_TRUE(editor->CbName.SelectText(L"Z inconnu"));
    Click(editor, L"BtComKestrane");
    Click(editor, L"BtComInterne");  // not installed here
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"");
    // Comments never touch a service.
    EXPECT_TRUE(machine.MethodLog().empty());

    // A name from the file never reaches a text outside the folder of service texts.
    folder.Write(L"secret.txt", "ne doit pas se lire");
    editor = OpenExternal(L"chemin.cfg", "\"..\\..\\secret\",\"Stopped\",\"Manual\",\"Chemin\"\r\n");
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->CbName.SelectText(L"Chemin"));
    Click(editor, L"BtComKestrane");
    EXPECT_EQ(editor->RichTextBox1.PlainText(), L"pas de donnnées a afficher");
}

TEST_F(Editor, AFileSavedUnchangedKeepsItsBytesAndQuotesAndAByteOrderMarkReadBack) {
    // Unquoted fields, a quote inside one, no final line end: saved without a change, byte for byte.
    const std::string loose = "Spooler,Running,Auto,Spouleur \"pr\xE9" "f\xE9r\xE9\"\r\nFax,Stopped,Manual,T\xE9l\xE9" "copie";
    Fen4* editor = OpenExternal(L"libre.cfg", loose);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtAppliModif");
    EXPECT_EQ(External(L"libre.cfg"), loose);
    // Changed, it is written in the program's form, the quote doubled, and reads back the same.
    editor = OpenExternal(L"libre.cfg", loose);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->CbName.SelectText(L"Télécopie"));
    Click(editor, L"BtRunn");
    Click(editor, L"BtAppliModif");
    EXPECT_EQ(ReadConfigFile(Documents() + L"\\libre.cfg"),
              (std::vector<ConfigRecord>{{L"Spooler", L"Running", L"Auto", L"Spouleur \"préféré\""},
                                         {L"Fax", L"Running", L"Manual", L"Télécopie"}}));
    // A file that Notepad saved in UTF-8: the mark is no part of the first name.
    editor = OpenExternal(L"bloc-notes.cfg", "\xEF\xBB\xBF\"Spooler\",\"Running\",\"Auto\",\"Spouleur \xC3\xA9t\xC3\xA9\"\r\n");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->CbName.Item(0), L"Spouleur été");
    EXPECT_EQ(editor->TbCbNameInterne.Text(), L"Spooler");
}

TEST_F(Editor, FilesOfAnyEditorKeepEveryByteButTheLineChanged) {
    // UTF-8 with its mark and without (what most editors write today), LF line ends, characters no code page
    // of Western Europe holds, a blank line.
    const std::string utf8 = "\"Us\xC5\x82uga_\xC5\x82\",\"Stopped\",\"Manual\",\"B\xC3\xAAta \xD0\xA1\xD0\xBB\xD1\x83\xD0\xB6\xD0\xB1\xD0\xB0\"\n"
                             "\n"
                             "\"Fax\",\"Stopped\",\"Manual\",\"T\xC3\xA9l\xC3\xA9" "copie\"\n";
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
        Fen4* editor = OpenExternal(L"unicode.cfg", bytes);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->Entries()[0].DisplayName, L"Bêta Служба");
        Click(editor, L"BtAppliModif");
        EXPECT_EQ(External(L"unicode.cfg"), bytes);
        editor = OpenExternal(L"unicode.cfg", bytes);
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->CbName.SelectText(L"Télécopie"));
        Click(editor, L"BtRunn");
        Click(editor, L"BtAppliModif");
        std::string expected = bytes;
        const std::string was = "\"Fax\",\"Stopped\"";
        expected.replace(expected.find(was), was.size(), "\"Fax\",\"Running\"");
        EXPECT_EQ(External(L"unicode.cfg"), expected);
    }

    // Written over only while it is as it was read: changed on disk meanwhile, the user is asked; "Non"
    // writes nothing and the editor stays open.
    Fen4* editor = OpenExternal(L"profil.cfg", kMixed);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"BtDisab");
    const std::string newer = kMixed + "\"Audiosrv\",\"Stopped\",\"Manual\",\"x\"\r\n";
    DeleteFileW((Documents() + L"\\profil.cfg").c_str());
    AppendFileBytes(Documents() + L"\\profil.cfg", newer);
    dialogs.answers = {IDNO};
    Click(editor, L"BtAppliModif");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(texts::kEditorSourceChanged, 0), 0u);
    EXPECT_EQ(External(L"profil.cfg"), newer);
    EXPECT_TRUE(editor->IsOpen());
    dialogs.answers = {IDYES};
    Click(editor, L"BtAppliModif");
    EXPECT_NE(External(L"profil.cfg"), newer);
    EXPECT_FALSE(editor->IsOpen());
}

}  // namespace
}  // namespace kestrane::test
