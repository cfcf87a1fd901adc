<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ro_RO">
<context>
    <name>QPageSetupWidget</name>
    <message>
        <source>CC</source>
        <translation>CC</translation>
    </message>
    <message>
        <source>DD</source>
        <translation>DD</translation>
    </message>
    <message>
        <source>in</source>
        <translation>in</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>pt</source>
        <translation>pt</translation>
    </message>
    <message>
        <source>P̸</source>
        <translation>P̸</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>bottom margin</source>
        <translation>marginea de jos</translation>
    </message>
    <message>
        <source>Paper</source>
        <translation>Hartie</translation>
    </message>
    <message>
        <source>Paper source:</source>
        <translation>Sursa hartiei:</translation>
    </message>
    <message>
        <source>right margin</source>
        <translation>marginea din dreapta</translation>
    </message>
    <message>
        <source>Pica (P̸)</source>
        <translation>Pica (P̸)</translation>
    </message>
    <message>
        <source>Margins</source>
        <translation>Margini</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Personalizat</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>Peisaj</translation>
    </message>
    <message>
        <source>Page Layout</source>
        <translation>Asezarea paginii</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>Latime:</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Orientare</translation>
    </message>
    <message>
        <source>Didot (DD)</source>
        <translation>Didot (DD)</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Portret</translation>
    </message>
    <message>
        <source>Page order:</source>
        <translation>Ordinea paginilor:</translation>
    </message>
    <message>
        <source>top margin</source>
        <translation>marginea de sus</translation>
    </message>
    <message>
        <source>left margin</source>
        <translation>marginea din stanga</translation>
    </message>
    <message>
        <source>Page size:</source>
        <translation>Dimensiunea paginii:</translation>
    </message>
    <message>
        <source>Cicero (CC)</source>
        <translation>Cicero (CC)</translation>
    </message>
    <message>
        <source>Reverse portrait</source>
        <translation>Portret intors</translation>
    </message>
    <message>
        <source>Millimeters (mm)</source>
        <translation>Milimetri (mm)</translation>
    </message>
    <message>
        <source>Points (pt)</source>
        <translation>Puncte (pt)</translation>
    </message>
    <message>
        <source>Pages per sheet:</source>
        <translation>Pagini pe foaie:</translation>
    </message>
    <message>
        <source>Inches (in)</source>
        <translation>Toli (in)</translation>
    </message>
    <message>
        <source>Reverse landscape</source>
        <translation>Peisaj intors</translation>
    </message>
    <message>
        <source>Height:</source>
        <translation>Inaltime:</translation>
    </message>
</context>
<context>
    <name>QDialogButtonBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ajutor</translation>
    </message>
    <message>
        <source>Show Details...</source>
        <translation>Arata detaliile...</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Despre Qt</translation>
    </message>
    <message>
        <source>Hide Details...</source>
        <translation>Ascunde detaliile...</translation>
    </message>
    <message>
        <source>&lt;h3&gt;About Qt&lt;/h3&gt;&lt;p&gt;This program uses Qt version %1.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Despre Qt&lt;/h3&gt;&lt;p&gt;Acest program foloseste Qt versiunea %1.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nu</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Da</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ajutor</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Deschide</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salveaza</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Opreste</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Aplica</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Inchide</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reseteaza</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Reincearca</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Valorile implicite</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>&amp;Renunta</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignora</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>N&amp;u la toate</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Salveaza tot</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Nu salva</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Da la &amp;toate</translation>
    </message>
</context>
<context>
    <name>QPrintDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Even Pages</source>
        <translation>Paginile pare</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Tiparire</translation>
    </message>
    <message>
        <source>&amp;Options &lt;&lt;</source>
        <translation>&amp;Optiuni &lt;&lt;</translation>
    </message>
    <message>
        <source>&amp;Options &gt;&gt;</source>
        <translation>&amp;Optiuni &gt;&gt;</translation>
    </message>
    <message>
        <source>Left to Right, Top to Bottom</source>
        <translation>De la stanga la dreapta, de sus in jos</translation>
    </message>
    <message>
        <source>Right to Left, Bottom to Top</source>
        <translation>De la dreapta la stanga, de jos in sus</translation>
    </message>
    <message>
        <source>Write PDF file</source>
        <translation>Scrie fisier PDF</translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation>&amp;Tipareste</translation>
    </message>
    <message>
        <source>1 (1x1)</source>
        <translation>1 (1x1)</translation>
    </message>
    <message>
        <source>Options 'Pages Per Sheet' and 'Page Set' cannot be used together.
Please turn one of those options off.</source>
        <translation>Optiunile 'Pagini pe foaie' si 'Setul de pagini' nu pot fi folosite impreuna.
Dezactivati una dintre ele.</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to overwrite it?</source>
        <translation>%1 exista deja.
Doriti sa il inlocuiti?</translation>
    </message>
    <message>
        <source>2 (2x1)</source>
        <translation>2 (2x1)</translation>
    </message>
    <message>
        <source>Left to Right, Bottom to Top</source>
        <translation>De la stanga la dreapta, de jos in sus</translation>
    </message>
    <message>
        <source>4 (2x2)</source>
        <translation>4 (2x2)</translation>
    </message>
    <message>
        <source>Odd Pages</source>
        <translation>Paginile impare</translation>
    </message>
    <message>
        <source>Local file</source>
        <translation>Fisier local</translation>
    </message>
    <message>
        <source>6 (2x3)</source>
        <translation>6 (2x3)</translation>
    </message>
    <message>
        <source>16 (4x4)</source>
        <translation>16 (4x4)</translation>
    </message>
    <message>
        <source>Print to File (PDF)</source>
        <translation>Tiparire in fisier (PDF)</translation>
    </message>
    <message>
        <source>Print To File ...</source>
        <translation>Tiparire in fisier ...</translation>
    </message>
    <message>
        <source>9 (3x3)</source>
        <translation>9 (3x3)</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automat</translation>
    </message>
    <message>
        <source>Right to Left, Top to Bottom</source>
        <translation>De la dreapta la stanga, de sus in jos</translation>
    </message>
    <message>
        <source>Bottom to Top, Left to Right</source>
        <translation>De jos in sus, de la stanga la dreapta</translation>
    </message>
    <message>
        <source>The 'From' value cannot be greater than the 'To' value.</source>
        <translation>Valoarea 'De la' nu poate fi mai mare decat valoarea 'Pana la'.</translation>
    </message>
    <message>
        <source>All Pages</source>
        <translation>Toate paginile</translation>
    </message>
    <message>
        <source>%1 is a directory.
Please choose a different file name.</source>
        <translation>%1 este un director.
Alegeti alt nume de fisier.</translation>
    </message>
    <message>
        <source>File %1 is not writable.
Please choose a different file name.</source>
        <translation>Fisierul %1 nu poate fi scris.
Alegeti alt nume de fisier.</translation>
    </message>
    <message>
        <source>Bottom to Top, Right to Left</source>
        <translation>De jos in sus, de la dreapta la stanga</translation>
    </message>
    <message>
        <source>Top to Bottom, Left to Right</source>
        <translation>De sus in jos, de la stanga la dreapta</translation>
    </message>
    <message>
        <source>Top to Bottom, Right to Left</source>
        <translation>De sus in jos, de la dreapta la stanga</translation>
    </message>
</context>
<context>
    <name>QPrintSettingsOutput</name>
    <message>
        <source>to</source>
        <translation>pana la</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Niciuna</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>Print all</source>
        <translation>Tipareste tot</translation>
    </message>
    <message>
        <source>Current Page</source>
        <translation>Pagina curenta</translation>
    </message>
    <message>
        <source>Selection</source>
        <translation>Selectia</translation>
    </message>
    <message>
        <source>Long side</source>
        <translation>Latura lunga</translation>
    </message>
    <message>
        <source>Copies</source>
        <translation>Exemplare</translation>
    </message>
    <message>
        <source>Print range</source>
        <translation>Ce se tipareste</translation>
    </message>
    <message>
        <source>Color Mode</source>
        <translation>Culoare</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optiuni</translation>
    </message>
    <message>
        <source>Output Settings</source>
        <translation>Setarile tiparirii</translation>
    </message>
    <message>
        <source>Reverse</source>
        <translation>Invers</translation>
    </message>
    <message>
        <source>Grayscale</source>
        <translation>Tonuri de gri</translation>
    </message>
    <message>
        <source>Short side</source>
        <translation>Latura scurta</translation>
    </message>
    <message>
        <source>Collate</source>
        <translation>Asambleaza</translation>
    </message>
    <message>
        <source>Copies:</source>
        <translation>Exemplare:</translation>
    </message>
    <message>
        <source>Pages from</source>
        <translation>Paginile de la</translation>
    </message>
    <message>
        <source>Page Set:</source>
        <translation>Setul de pagini:</translation>
    </message>
    <message>
        <source>Duplex Printing</source>
        <translation>Tiparire fata-verso</translation>
    </message>
</context>
<context>
    <name>QPrintWidget</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Tip:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Nume:</translation>
    </message>
    <message>
        <source>Output &amp;file:</source>
        <translation>&amp;Fisier:</translation>
    </message>
    <message>
        <source>P&amp;roperties</source>
        <translation>P&amp;roprietati</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Previzualizare</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Imprimanta</translation>
    </message>
    <message>
        <source>Location:</source>
        <translation>Locatie:</translation>
    </message>
</context>
<context>
    <name>QCupsJobWidget</name>
    <message>
        <source>Job</source>
        <translation>Lucrare</translation>
    </message>
    <message>
        <source>End:</source>
        <translation>Sfarsit:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Niciuna</translation>
    </message>
    <message>
        <source>Banner Pages</source>
        <translation>Pagini de separare</translation>
    </message>
    <message>
        <source>Night (18:00 to 05:59)</source>
        <translation>Noaptea (18:00 - 05:59)</translation>
    </message>
    <message>
        <source>Specific Time</source>
        <translation>La o anumita ora</translation>
    </message>
    <message>
        <source>Billing information:</source>
        <translation>Informatii de facturare:</translation>
    </message>
    <message>
        <source>Scheduled printing:</source>
        <translation>Tiparire programata:</translation>
    </message>
    <message>
        <source>Secret</source>
        <translation>Secret</translation>
    </message>
    <message>
        <source>Top Secret</source>
        <translation>Strict secret</translation>
    </message>
    <message>
        <source>Start:</source>
        <translation>Inceput:</translation>
    </message>
    <message>
        <source>Day (06:00 to 17:59)</source>
        <translation>Ziua (06:00 - 17:59)</translation>
    </message>
    <message>
        <source>Second Shift (16:00 to 23:59)</source>
        <translation>Schimbul doi (16:00 - 23:59)</translation>
    </message>
    <message>
        <source>Job Control</source>
        <translation>Controlul lucrarii</translation>
    </message>
    <message>
        <source>Weekend (Saturday to Sunday)</source>
        <translation>Sfarsit de saptamana (sambata - duminica)</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Classified</source>
        <translation>Clasificat</translation>
    </message>
    <message>
        <source>Third Shift (00:00 to 07:59)</source>
        <translation>Schimbul trei (00:00 - 07:59)</translation>
    </message>
    <message>
        <source>Hold Indefinitely</source>
        <translation>Retine pe termen nelimitat</translation>
    </message>
    <message>
        <source>Print Immediately</source>
        <translation>Tipareste imediat</translation>
    </message>
    <message>
        <source>Confidential</source>
        <translation>Confidential</translation>
    </message>
    <message>
        <source>Job priority:</source>
        <translation>Prioritatea lucrarii:</translation>
    </message>
    <message>
        <source>Unclassified</source>
        <translation>Neclasificat</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Back</source>
        <translation>Inapoi</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fisier</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Deschide</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Deschide</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Salveaza</translation>
    </message>
    <message>
        <source>Alias</source>
        <translation>Alias</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Unitate</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Fisiere</translation>
    </message>
    <message>
        <source>Show </source>
        <translation>Arata </translation>
    </message>
    <message>
        <source>'%1' is write protected.
Do you want to delete it anyway?</source>
        <translation>'%1' este protejat la scriere.
Doriti sa il stergeti totusi?</translation>
    </message>
    <message>
        <source>Are you sure you want to delete '%1'?</source>
        <translation>Sigur doriti sa stergeti '%1'?</translation>
    </message>
    <message>
        <source>List of places and bookmarks</source>
        <translation>Lista locurilor si a semnelor de carte</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Numele fisierului:</translation>
    </message>
    <message>
        <source>Alt+Left</source>
        <translation>Alt+Left</translation>
    </message>
    <message>
        <source>Alt+Up</source>
        <translation>Alt+Up</translation>
    </message>
    <message>
        <source>File Folder</source>
        <translation>Dosar</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Sterge</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Dosar nou</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Dosar</translation>
    </message>
    <message>
        <source>Parent Directory</source>
        <translation>Directorul parinte</translation>
    </message>
    <message>
        <source>&amp;New Folder</source>
        <translation>Dosar &amp;nou</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Elimina</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Calculatorul meu</translation>
    </message>
    <message>
        <source>Look in:</source>
        <translation>Cauta in:</translation>
    </message>
    <message>
        <source>Alt+Right</source>
        <translation>Alt+Right</translation>
    </message>
    <message>
        <source>Create a New Folder</source>
        <translation>Creeaza un dosar nou</translation>
    </message>
    <message>
        <source>%1 File</source>
        <translation>Fisier %1</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Fisiere de tipul:</translation>
    </message>
    <message>
        <source>Find Directory</source>
        <translation>Alege directorul</translation>
    </message>
    <message>
        <source>Show &amp;hidden files</source>
        <translation>Arata fisierele &amp;ascunse</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Salveaza ca</translation>
    </message>
    <message>
        <source>%1
Directory not found.
Please verify the correct directory name was given.</source>
        <translation>%1
Directorul nu a fost gasit.
Verificati numele directorului.</translation>
    </message>
    <message>
        <source>Sidebar</source>
        <translation>Bara laterala</translation>
    </message>
    <message>
        <source>List View</source>
        <translation>Lista</translation>
    </message>
    <message>
        <source>&amp;Choose</source>
        <translation>&amp;Alege</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Sterge</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Toate fisierele (*)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Toate fisierele (*)</translation>
    </message>
    <message>
        <source>Directories</source>
        <translation>Directoare</translation>
    </message>
    <message>
        <source>&amp;Rename</source>
        <translation>&amp;Redenumeste</translation>
    </message>
    <message>
        <source>Could not delete directory.</source>
        <translation>Directorul nu a putut fi sters.</translation>
    </message>
    <message>
        <source>Directory:</source>
        <translation>Director:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Necunoscut</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 exista deja.
Doriti sa il inlocuiti?</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Inainte</translation>
    </message>
    <message>
        <source>Go forward</source>
        <translation>Inainte</translation>
    </message>
    <message>
        <source>Go to the parent directory</source>
        <translation>Mergi la directorul parinte</translation>
    </message>
    <message>
        <source>Recent Places</source>
        <translation>Locuri recente</translation>
    </message>
    <message>
        <source>Go back</source>
        <translation>Inapoi</translation>
    </message>
    <message>
        <source>Change to detail view mode</source>
        <translation>Arata detaliile</translation>
    </message>
    <message>
        <source>Create New Folder</source>
        <translation>Creeaza un dosar nou</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>Scurtatura</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Detalii</translation>
    </message>
    <message>
        <source>%1
File not found.
Please verify the correct file name was given.</source>
        <translation>%1
Fisierul nu a fost gasit.
Verificati numele fisierului.</translation>
    </message>
    <message>
        <source>Change to list view mode</source>
        <translation>Arata ca lista</translation>
    </message>
</context>
<context>
    <name>QPrintPropertiesWidget</name>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Pagina</translation>
    </message>
</context>
<context>
    <name>QFileSystemModel</name>
    <message>
        <source>Kind</source>
        <translation>Fel</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nume</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Marime</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tip</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 TB</source>
        <translation>%1 TB</translation>
    </message>
    <message>
        <source>&lt;b&gt;The name &quot;%1&quot; can not be used.&lt;/b&gt;&lt;p&gt;Try using another name, with fewer characters or no punctuations marks.</source>
        <translation>&lt;b&gt;Numele &quot;%1&quot; nu poate fi folosit.&lt;/b&gt;&lt;p&gt;Incercati alt nume, mai scurt sau fara semne de punctuatie.</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 octeti</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Calculatorul meu</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Calculator</translation>
    </message>
    <message>
        <source>Invalid filename</source>
        <translation>Nume de fisier nevalid</translation>
    </message>
    <message>
        <source>%1 byte(s)</source>
        <translation>%1 octeti</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Data modificarii</translation>
    </message>
</context>
<context>
    <name>QFontDialog</name>
    <message>
        <source>&amp;Font</source>
        <translation>&amp;Font</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>&amp;Marime</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>Exemplu</translation>
    </message>
    <message>
        <source>Font st&amp;yle</source>
        <translation>&amp;Stil</translation>
    </message>
    <message>
        <source>Wr&amp;iting System</source>
        <translation>S&amp;istem de scriere</translation>
    </message>
    <message>
        <source>Select Font</source>
        <translation>Alegeti fontul</translation>
    </message>
    <message>
        <source>&amp;Underline</source>
        <translation>&amp;Subliniat</translation>
    </message>
    <message>
        <source>Effects</source>
        <translation>Efecte</translation>
    </message>
    <message>
        <source>Stri&amp;keout</source>
        <translation>&amp;Taiat</translation>
    </message>
</context>
<context>
    <name>QInputDialog</name>
    <message>
        <source>Enter a value:</source>
        <translation>Introduceti o valoare:</translation>
    </message>
</context>
<context>
    <name>QPrintPropertiesDialog</name>
    <message>
        <source>Job Options</source>
        <translation>Optiunile lucrarii</translation>
    </message>
</context>
</TS>
