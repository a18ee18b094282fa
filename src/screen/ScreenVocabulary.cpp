#include "screen/ScreenVocabulary.h"

#include <QStringList>

namespace tessary {

namespace {

// Written from sign-in, bank, shop and government screens of each language. An empty column has
// nothing to add there (a bare "code" word is too vague in that language to stand alone).
constexpr LanguageVocabulary vocabularies[] = {
    {"en", true, uR"(\d[- ]?(character|letter|number) code|one[- ]?time pass\w*)", u"",
     uR"(\d[- ]?(character|letter|number) code|sent (you )?(a|an|the) (\S+ )?(code|pin)|code (from|in) (the|your) (e-?mail|message|text|sms)|(texted|emailed) (you )?(a|the) code|\d[- ]?digits (that )?we('ve| have)? (just )?(sent|texted|emailed)|(didn['’]t|did not|haven['’]t) (get|receive|received|gotten) (the|a|your) (code|pin))",
     uR"(redeem|redemption|membership number|mobile (phone|number)|telephone|(re)?captcha\w*|authenticator|(backup|recovery) codes?|(create|choose|pick|set up) (a|an|your)(?! (new )?(account|profile)))",
     uR"(sent (you )?(a |an )?(sign[- ]?in|log[- ]?in|login|magic) (link|e-?mail)|(sign[- ]?in|log[- ]?in|login) link (has been|was) (sent|e-?mailed)|click the link (in|we))",
     uR"(confirm (your )?e-?mail address|verify (your )?e-?mail address)"},
    {"de", true,
     uR"(code eingeben|(bestätigungs|sicherheits|einmal|anmelde|verifizierungs|zugangs|sms-)code|einmalpasswort|tan)",
     uR"(tan)",
     uR"((geben sie|gib) (\S+ ){0,3}code|\d-stellige\w* (code|pin|tan)|code eingeben|(bestätigungs|sicherheits|einmal|anmelde|verifizierungs)code|einmalpasswort)",
     uR"(gutschein\w*|rabatt\w*|aktionscode|postleitzahl|plz|suche\w*|(erstellen|wählen|vergeben|legen) sie (eine?n?|ihre?n?)(?! (neues? )?(benutzer)?(konto|profil))|(erstelle|wähle|vergib|lege) (eine?n?|deine?n?)(?! (neues? )?(benutzer)?(konto|profil))|(pin|code|geheimzahl) (erstellen|wählen|festlegen|vergeben))",
     uR"(prüfen sie ihr(en)? (posteingang|e-?mail-postfach|postfach)|überprüfe deinen posteingang|anmeldelink|(wir haben ihnen|wir haben dir) einen link)",
     uR"((bestätigen sie|bestätige) (ihre|deine) e-?mail(-adresse)?|bestätigungslink|aktivierungslink)"},
    {"fr", true,
     uR"(code (reçu|envoyé|de vérification|de confirmation|de sécurité|à usage unique|sms|par sms)|code à \d chiffres)",
     u"",
     uR"(code à \d chiffres|(saisissez|entrez|indiquez|saisir|entrer) (le|votre) code|code (de vérification|de confirmation|à usage unique)|code (reçu|envoyé) par (sms|e-?mail)|(nous )?vous avons envoyé un code)",
     uR"(réduction|bon d'achat|carte cadeau|recherche\w*|code postal|(créez|créer|crée|choisissez|choisir|choisis|définissez|définir|définis) (un|une|votre|ton|ta)(?! (nouveau |nouvel )?(compte|profil)))",
     uR"(vérifiez votre (boîte de réception|messagerie)|consultez votre boîte|lien de connexion)",
     uR"(confirme[zr] votre (adresse|e-?mail|compte)|lien de confirmation|lien d'activation|vérifiez votre adresse)"},
    {"es", true, uR"(clave (de un solo uso|dinámica|temporal))", u"",
     uR"((ingresa|ingrese|introduce|introduzca|escribe|escriba|digite) (el|tu|su) código|código de \d dígitos|te (hemos )?enviado un código|código (de seguridad|de acceso|de confirmación)|clave dinámica)",
     uR"(cupón|descuento|promocional|búsqueda|buscar|tarjeta regalo|(crea|cree|crear|elige|elija|elegir|establece|establezca|establecer|configura|configure|configurar) (un|una|tu|su)(?! (nueva |nuevo )?(cuenta|perfil)))",
     uR"(revisa tu (correo|bandeja de entrada)|enlace (de inicio de sesión|mágico|para iniciar sesión)|te (hemos )?enviado un enlace)",
     uR"(confirma (tu|su) (dirección de )?(correo|email|e-mail|cuenta)|verifica (tu|su) (dirección de )?(correo|email|cuenta)|enlace de (confirmación|verificación|activación))"},
    {"it", true, uR"(codice (di verifica|otp|sms|di sicurezza))", u"",
     uR"(codice (di verifica|di sicurezza|di conferma|otp|monouso)|(inserisci|digita) (il )?codice|(ti |vi )?abbiamo inviato (un|il) codice|codice a \d cifre)",
     uR"(sconto|buono|codice fiscale|cap|ricerca|cerca)",
     uR"(controlla la tua (casella di posta|e-?mail|posta)|link per accedere|ti abbiamo inviato un link)",
     uR"(conferma (il tuo|la tua) (indirizzo|e-?mail|account)|link di (conferma|attivazione|verifica))"},
    {"pt", true, uR"(código|token)", uR"(código)",
     uR"((digite|insira|informe) o código|código (de verificação|de segurança|de confirmação|de acesso|enviado)|código de \d dígitos|enviamos um código)",
     uR"(cupom|cupão|desconto|cep|código postal|pesquisa|buscar|vale-presente)",
     uR"(verifique (seu|o seu) (e-?mail|caixa de entrada)|link de acesso|enviamos um link)",
     uR"(confirme (seu|o seu) (endereço de )?(e-?mail|conta)|link de (confirmação|ativação|verificação))"},
    {"nl", true, uR"((verificatie|beveiligings|inlog|sms-)code|eenmalige code)", u"",
     uR"((vul|voer) de (\S+ )?(sms-)?code in|(verificatie|beveiligings)code|\d-cijferige code|we hebben (je|u) een code)",
     uR"(kortingscode|kortingsbon|cadeaubon|postcode|zoeken|actiecode)",
     uR"(controleer (je|uw) (inbox|e-?mail|mailbox)|inloglink|we hebben (je|u) een link)",
     uR"(bevestig (je|uw) (e-?mailadres|e-?mail|account)|bevestigingslink|activatielink)"},
    {"pl", true,
     uR"(kod (weryfikacyjny|sms|jednorazowy|autoryzacyjny|dostępu|potwierdzający)|kod z (wiadomości|e-?maila|sms-?a)|hasło jednorazowe)",
     uR"(kod)",
     uR"((wpisz|wprowadź|podaj) kod|kod (weryfikacyjny|sms|jednorazowy|autoryzacyjny)|kod z (wiadomości|e-?maila|sms-?a)|\d-cyfrowy kod|wysłaliśmy (ci |pani |panu )?kod)",
     uR"(rabat\w*|kupon\w*|zniżk\w*|kod pocztowy|szukaj|wyszukaj)",
     uR"(sprawdź (swoją )?skrzynkę|link do logowania|wysłaliśmy (ci )?link)",
     uR"(potwierdź (swój )?(adres e-?mail|e-?mail|konto)|link (aktywacyjny|potwierdzający))"},
    {"ru", true, uR"(смс-код|код из смс)", u"", uR"(смс-код|код из смс)", uR"(поиск\w*|телефон\w*)",
     uR"(проверьте (свою )?(почту|почтовый ящик)|ссылк\w* для входа|мы отправили (вам )?ссылку)",
     uR"(подтвердите (свой |ваш )?(адрес|e-?mail|email|почту|аккаунт)|ссылк\w* (для )?подтверждени\w*)"},
    {"uk", true,
     uR"(код (підтвердження|із смс|з смс|із sms|з sms|доступу)|одноразов\w* (код|пароль)|перевірочн\w* код)",
     uR"(код|пін)",
     uR"(введіть код|код (підтвердження|із смс|з смс|із sms|з sms)|надіслали (вам )?код|одноразов\w* код)",
     uR"(промокод|знижк\w*|купон|пошук|індекс)",
     uR"(перевірте (свою )?(пошту|скриньку)|посилання для входу|надіслали (вам )?посилання)",
     uR"(підтвердіть (свою |вашу )?(адресу|пошту|e-?mail|обліковий запис)|посилання (для )?підтвердження)"},
    {"tr", true, uR"((doğrulama|onay|güvenlik|sms) kodu|\d haneli kod\w*|tek kullanımlık (kod|şifre))",
     uR"(kod|kodu)",
     uR"((doğrulama|onay|güvenlik|sms) kodu\w*|kodu (girin|giriniz)|\d haneli kod\w*|tek kullanımlık (kod|şifre))",
     uR"([iİ]ndirim\w*|kupon\w*|hediye|posta kodu|arama)",
     uR"(gelen kutunuzu kontrol edin|giriş bağlantısı|bağlantı gönderdik)",
     uR"(e-?posta adresinizi (doğrulayın|onaylayın)|doğrulama bağlantısı|onay bağlantısı)"},
    {"zh", false, uR"(验证码|校验码|动态码|动态密码|短信码|一次性密码|驗證碼|確認碼)", u"",
     uR"(验证码|驗證碼|动态码|校验码|短信码)",
     uR"(优惠码|优惠券|兑换码|邀请码|搜索|邮编|邮政编码|礼品卡|優惠碼|搜尋|手机号|电话号码|手機號碼|電話號碼)",
     uR"(查看(您的)?邮箱|登录链接|我们已(向您)?发送(了)?(一封)?(邮件|链接))",
     uR"(验证(您的)?邮箱|确认(您的)?(电子)?邮(件|箱)(地址)?|激活链接|验证链接|確認您的電子郵件)"},
    {"ja", false, uR"(確認コード|認証コード|認証番号|ワンタイムパスワード|確認番号|検証コード)", u"",
     uR"(確認コード|認証コード|認証番号|ワンタイムパスワード|コードを入力)",
     uR"(クーポン|割引|検索|郵便番号|招待コード|ギフト|電話番号|携帯番号)",
     uR"(メールを確認|ログインリンク|リンクを送信しました)",
     uR"(メールアドレスを確認|メールアドレスの確認|確認リンク|認証リンク)"},
    {"ko", false, uR"(인증 ?번호|인증 ?코드|확인 ?코드|보안 ?코드|일회용 비밀번호)", u"",
     uR"(인증 ?번호|인증 ?코드|확인 ?코드)",
     uR"(쿠폰|할인|검색|우편번호|추천인|선물|전화 ?번호|휴대폰 ?번호|핸드폰 ?번호)",
     uR"(받은편지함을 확인|로그인 링크|링크를 보냈습니다)",
     uR"(이메일 주소 ?(를|을)? ?인증|이메일 인증|이메일 확인|인증 링크)"},
    {"vi", true, uR"(mã (xác minh|xác thực|otp|bảo mật|xác nhận))", u"",
     uR"((nhập|điền) mã|mã (xác minh|xác thực|otp|xác nhận))",
     uR"(giảm giá|khuyến mãi|tìm kiếm|mã bưu chính|phiếu)",
     uR"(kiểm tra (hộp thư|email)|liên kết đăng nhập|đã gửi (một )?liên kết)",
     uR"(xác (nhận|minh) (địa chỉ )?email|liên kết (xác nhận|kích hoạt))"},
    {"id", true, uR"(kode (verifikasi|otp|keamanan|konfirmasi|sms))", uR"(kode)",
     uR"((masukkan|masukan) kode|kode (verifikasi|otp|keamanan|konfirmasi)|kode \d digit|kami (telah )?mengirim(kan)? kode)",
     uR"(diskon|kupon|cari|pencarian|kode pos)",
     uR"(periksa (email|kotak masuk)|tautan masuk|kami (telah )?mengirim(kan)? tautan)",
     uR"(konfirmasi (alamat )?email|verifikasi (alamat )?email|tautan (konfirmasi|aktivasi|verifikasi))"},
    {"he", false, uR"(קוד אימות|קוד חד[- ]פעמי|סיסמה חד[- ]פעמית|קוד אבטחה|קוד כניסה)", u"",
     uR"(קוד אימות|הזן את הקוד|הזינו את הקוד|קוד חד[- ]פעמי|שלחנו (לך )?קוד)",
     uR"(קופון|הנחה|חיפוש|מיקוד|שובר)", uR"(בדוק את תיבת הדואר|קישור התחברות|שלחנו (לך )?קישור)",
     uR"(אמת את כתובת (הדוא"ל|האימייל)|אשר את (כתובת )?(הדוא"ל|האימייל)|קישור אימות)"},
    {"ar", false, uR"(رمز التحقق|رمز التأكيد|كود التحقق|رمز الأمان|كلمة المرور لمرة واحدة|رمز لمرة واحدة)",
     u"", uR"(رمز التحقق|رمز التأكيد|كود التحقق|أدخل الرمز|أدخل رمز|أرسلنا (لك )?رمز)",
     uR"(قسيمة|خصم|كوبون|بحث|الرمز البريدي|رقم (الهاتف|الجوال|الموبايل))",
     uR"(تحقق من بريدك|رابط تسجيل الدخول|أرسلنا (لك )?رابط)",
     uR"(تأكيد بريدك الإلكتروني|أكد بريدك الإلكتروني|رابط التأكيد|رابط التفعيل)"},
    {"fa", false, uR"(کد تأیید|کد تایید|کد یکبار مصرف|رمز یکبار مصرف)", u"",
     uR"(کد تأیید|کد تایید|کد را وارد کنید|کد ارسال شده)", uR"(تخفیف|کوپن|جستجو|کد پستی)",
     uR"(صندوق ورودی (خود )?را بررسی کنید|لینک ورود|پیوند ورود)",
     uR"(ایمیل (خود )?را تأیید کنید|لینک تأیید|پیوند تأیید)"},
    {"hi", false, uR"(सत्यापन कोड|ओटीपी|वन टाइम पासवर्ड|पुष्टि कोड)", u"", uR"(सत्यापन कोड|ओटीपी|कोड दर्ज करें)",
     uR"(कूपन|छूट|खोज|पिन कोड)", uR"(अपना इनबॉक्स देखें|साइन इन लिंक|लॉगिन लिंक)",
     uR"(अपना ईमेल (पता )?सत्यापित करें|पुष्टि लिंक|सत्यापन लिंक)"},
    {"el", true, uR"(κωδικός (επαλήθευσης|επιβεβαίωσης|μίας χρήσης))", u"",
     uR"(κωδικός (επαλήθευσης|επιβεβαίωσης|μίας χρήσης)|(εισάγετε|πληκτρολογήστε) τον κωδικό)",
     uR"(κουπόνι|έκπτωση|εκπτωτικός|αναζήτηση|ταχυδρομικός κώδικας)",
     uR"(ελέγξτε τα εισερχόμενά σας|σύνδεσμος σύνδεσης|σας στείλαμε (έναν )?σύνδεσμο)",
     uR"(επιβεβαιώστε (τη διεύθυνση )?(το )?email|σύνδεσμος (επιβεβαίωσης|ενεργοποίησης))"},
    {"fi", true, uR"((vahvistus|varmennus|tunnistus|kertakäyttö|sms-)koodi)", uR"(koodi)",
     uR"((vahvistus|varmennus|tunnistus|kertakäyttö)koodi|(syötä|anna) koodi|lähetimme (sinulle )?koodin)",
     uR"(alennus\w*|kuponki|lahjakortti|postinumero|haku|hae)",
     uR"(tarkista sähköpostisi|kirjautumislinkki|lähetimme (sinulle )?linkin)",
     uR"(vahvista sähköpostiosoitteesi|vahvista sähköpostisi|vahvistuslinkki|aktivointilinkki)"},
    {"sv", true, uR"((engångs|verifierings|bekräftelse|inloggnings|sms-)kod)", uR"(kod)",
     uR"((engångs|verifierings|bekräftelse|inloggnings)kod|(ange|skriv in) koden|vi har skickat (en )?kod)",
     uR"(rabatt\w*|kampanjkod|presentkort|postnummer|sök)",
     uR"(kolla din (inkorg|e-?post)|inloggningslänk|vi har skickat (en )?länk)",
     uR"(bekräfta din (e-?postadress|e-?post)|bekräftelselänk|aktiveringslänk)"},
};

const char16_t* columnOf(const LanguageVocabulary& row, VocabularyColumn column)
{
    switch (column) {
    case VocabularyColumn::codeLabels:
        return row.codeLabels;
    case VocabularyColumn::shortLabels:
        return row.shortLabels;
    case VocabularyColumn::pagePrompts:
        return row.pagePrompts;
    case VocabularyColumn::excluded:
        return row.excluded;
    case VocabularyColumn::linkSent:
        return row.linkSent;
    case VocabularyColumn::confirmPage:
        return row.confirmPage;
    }
    return u"";
}

} // namespace

std::span<const LanguageVocabulary> languageVocabularies()
{
    return vocabularies;
}

QString vocabularyAlternation(VocabularyColumn column)
{
    QStringList alternatives;
    for (const LanguageVocabulary& row : vocabularies) {
        const QString entries = QString::fromUtf16(columnOf(row, column));
        if (entries.isEmpty())
            continue;
        alternatives.append(row.wholeWords ? QStringLiteral("\\b(?:%1)\\b").arg(entries)
                                           : QStringLiteral("(?:%1)").arg(entries));
    }
    return alternatives.join(QLatin1Char('|'));
}

} // namespace tessary
