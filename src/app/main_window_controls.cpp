#include "app/main_window_controls.h"
#include "core/version.h"

namespace vantrel {

namespace {

// KIND|name|parent|caption|hint|tag|flags  (see addControlTable)
const char* kMenus = R"(
FORM|mcform||)" VANTREL_VERSION_CAPTION R"(|||
FORM|memoform||編集|||
MENU|File1|MainMenu1|ファイル|||
MENU|N1|File1|テキスト|||
ITEM|N2|N1|読み込み|||
ITEM|Save1|N1|保存|||
MENU|mls1|File1|工具ファイル（tgs）|||
ITEM|N3|mls1|読み込み|||
ITEM|Save2|mls1|保存|||
MENU|CAD2|File1|CAD|||d
ITEM|menu_help|File1|ヘルプ|||
SEP||File1||||
ITEM|ini1|File1|設定を自動保存|||ck
ITEM|N24|File1|前回の設定復元|||
SEP||File1||||
ITEM|Exit1|File1|終了|||
MENU|menu_kikai|MainMenu1|機械（立ち型）|||
ITEM|menu_kikai0|menu_kikai|【立ち型フライス】||0|c
ITEM|menu_kikai1|menu_kikai|【横型フライス】||1|
ITEM|menu_kikai2|menu_kikai|【普通NC旋盤】||2|
ITEM|menu_kikai3|menu_kikai|【立ち旋盤】||3|
ITEM|menu_kikai4|menu_kikai|【ワイヤ放電加工機】||4|
SEP||menu_kikai||||
MENU|N93|menu_kikai|機械情報|||
MENU|N65|N93|ホルダ形式|||
ITEM|menu_bt0|N65|なし||0|
ITEM|menu_bt30|N65|ＢＴ３０||1|
ITEM|menu_bt40|N65|ＢＴ４０||2|c
ITEM|menu_bt50|N65|ＢＴ５０||3|
ITEM|menu_hsk50|N65|ＨＳＫ－Ａ５０||4|
ITEM|menu_hsk63|N65|ＨＳＫ－Ａ６３||5|
ITEM|menu_hsk100|N65|ＨＳＫ－Ａ１００||6|
ITEM|menu_atc|N93|（ＡＴＣアニメーション）|||c
MENU|N94|menu_kikai|機械情報|||
ITEM|menu_kikai_hankei|N94|半径値指令|||
ITEM|menu_kikai_xm|N94|Ｘ軸±逆転|||
MENU|menu_kikai_3keta|N94|Ｔ指令認識定義|||
ITEM|menu_kikai_T2|menu_kikai_3keta|Ｔ** **||0|c
ITEM|menu_kikai_T3|menu_kikai_3keta|T*** ***||1|
ITEM|menu_kikai_T4|menu_kikai_3keta|T**** ****||2|
MENU|N25|N94|チャック|||
ITEM|menu_chack4|N25|４インチ||4|
ITEM|menu_chack5|N25|５インチ||5|
ITEM|menu_chack6|N25|６インチ||6|
ITEM|menu_chack8|N25|８インチ||8|c
ITEM|menu_chack10|N25|１０インチ||10|
ITEM|menu_chack12|N25|１２インチ||12|
ITEM|menu_chack15|N25|１５インチ||15|
ITEM|menu_chack18|N25|１８インチ||18|
ITEM|menu_chack20|N25|２０インチ||20|
ITEM|N83|menu_kikai|機械情報|||d
SEP||menu_kikai||||
MENU|N67|menu_kikai|機械原点位置|||
ITEM|menu_rfx|N67|X  0|||
ITEM|menu_rfy|N67|Y  0|||
ITEM|menu_rfz|N67|Z  500|||
ITEM|N7|N67|（プログラム原点からの距離）|||
MENU|Edit1|MainMenu1|編集|||
ITEM|N79|Edit1|編集画面表示|||
SEP||Edit1||||
ITEM|Cut1|Edit1|切り取り|||
ITEM|Copy1|Edit1|コピー|||
ITEM|Paste1|Edit1|貼り付け|||
ITEM|Delete1|Edit1|削除|||
ITEM|N14|Edit1|全削除|||
ITEM|SelectAll1|Edit1|すべて選択|||
SEP||Edit1||||
ITEM|Font1|Edit1|フォント|||
MENU|N5|MainMenu1|再生|||
ITEM|menu_play|N5|再生||5|
ITEM|menu_playfast|N5|高速再生（内部処理）||6|
ITEM|menu_playstep|N5|ステップ再生||7|
ITEM|N57|N5|再生終了|||
SEP||N5||||
ITEM|menu_playlineon|N5|再生時補間経路描画|||k
ITEM|menu_okupitch|N5|再生時送り材料ピッチ|||ck
ITEM|menu_endless|N5|終端無（エンドレス）|||
ITEM|menu_play_ton|N5|Ｔ（M6）指令無視|||k
ITEM|menu_kanno|N5|材料と工具干渉計算無視|||k
ITEM|menu_m0no|N5|M0無視|||ck
ITEM|menu_repaint|N5|再生後再描画|||ck
ITEM|menu_error|N5|警告、エラー出力|||k
MENU|N27|N5|工具径（ノーズＲ）補正つなぎ目|||
ITEM|menu_hoseir|N27|円弧|||c
ITEM|menu_hoseil|N27|線分|||
ITEM|menu_kcolor|N5|工具干渉色あり|||d
SEP||N5||||
ITEM|menu_ichigime|N5|位置決め速度　10|||
MENU|menu_kakou|MainMenu1|加工|||
ITEM|N63|menu_kakou|ドリル|||
ITEM|N68|menu_kakou|正面|||
ITEM|N70|menu_kakou|外面|||
ITEM|N72|menu_kakou|内面|||
ITEM|N73|menu_kakou|外径|||
ITEM|N74|menu_kakou|内径|||
ITEM|N75|menu_kakou|端面|||
ITEM|N76|menu_kakou|ドリル|||
ITEM|N77|menu_kakou|ネジ|||
MENU|N90|MainMenu1|視点|||
MENU|menu_view1|N90|回転||1|c
ITEM|menu_view1g|menu_view1|原点||2|c
ITEM|menu_view1k|menu_view1|工具||0|
ITEM|menu_view1z|menu_view1|材料||1|
ITEM|menu_view1c|menu_view1|画面中央||3|
ITEM|menu_view2|N90|移動||2|
ITEM|menu_view3|N90|拡大縮小||3|
ITEM|menu_view4|N90|視点遠近||4|
ITEM|menu_view5|N90|視点移動||5|
SEP||N90||||
ITEM|menu_heikou|N90|平行投影|||
ITEM|menu_pwyer|N90|一時的にワイヤーフレーム|||
MENU|Show1|MainMenu1|表示|||
ITEM|N16|Show1|補間経路表示|||
ITEM|N58|Show1|補間経路表示１回だけ|||
ITEM|menu_g0|Show1|補間経路描画時Ｇ００無視|||
SEP||Show1||||
ITEM|N13|Show1|初期状態|||
ITEM|menu_paneloff|Show1|パネル消す|||
ITEM|N47|Show1|編集画面|||
SEP||Show1||||
MENU|N34|Show1|材料|||
ITEM|N81|N34|材料表示|||c
ITEM|N91|N34|ワイヤーフレーム|||
ITEM|N41|N34|材料の内部状態表示|||
ITEM|N71|N34|色||0|
MENU|N42|Show1|工具|||
ITEM|N82|N42|工具表示|||c
ITEM|N20|N42|ホルダー表示|||c
ITEM|N92|N42|ワイヤーフレーム|||
MENU|N46|Show1|機械|||
ITEM|N32|N46|機械表示|||
ITEM|N33|N46|ワイヤーフレーム|||
ITEM|N43|N46|詳細設定|||
MENU|N50|Show1|格子（グリッド）|||
ITEM|menu_grid|N50|グリッド表示|||c
ITEM|menu_grid_chux|N50|中心X 0|||
ITEM|menu_grid_chuy|N50| 　　Y 0|||
ITEM|menu_grid_chuz|N50| 　　Z 0|||
ITEM|menu_gridx|N50|長さX 300|||
ITEM|menu_gridy|N50| 　　Y 300|||
ITEM|menu_gridz|N50| 　　Z 0|||
MENU|N55|Show1|座標軸（ＸＹＺ）|||
ITEM|menu_jk|N55|XYZ軸表示|||c
ITEM|menu_jkx|N55|軸長X 200|||
ITEM|menu_jky|N55|　　　Y 200|||
ITEM|menu_jkz|N55|　　　Z 200|||
MENU|CAD1|Show1|CAD|||
ITEM|menu_showcad|CAD1|CAD表示|||c
ITEM|N53|CAD1|ワイヤーフレーム|||
MENU|N9|MainMenu1|設定|||
ITEM|N12|N9|材料を補間経路に合わせる|||
ITEM|N35|N9|材料内部初期化（四角）|||
ITEM|N36|N9|材料内部初期化（円）|||
ITEM|menu_zai_hanten|N9|内部反転|||
ITEM|N17|MainMenu1|通信|||
MENU|PopupMenu1||工具|||
ITEM|menu_t_new|PopupMenu1|追加|||
ITEM|menu_t_del|PopupMenu1|削除|||
ITEM|menu_t_change|PopupMenu1|番号変更|||
ITEM|menu_t_color|PopupMenu1|色|||
ITEM|menu_t_ini|PopupMenu1|初期化|||
)";

// The top tool bar (Panel7). Display switches are toggles in groups of their own that allow all up;
// machines, mouse modes and play buttons are groups.
const char* kToolBar = R"(
PANEL|Panel7||||
SB|sb_kikai0|Panel7|フライス|フライス盤|0|g1c
SB|sb_kikai3|Panel7|横フライス|横型フライス盤|1|g1
SB|sb_kikai1|Panel7|旋盤|旋盤|2|g1
SB|sb_kikai4|Panel7|立旋盤|立ち旋盤|3|g1
SB|sb_kikai2|Panel7|ワイヤ|ワイヤー放電加工機|4|g1
SB|sb_view1|Panel7|回転|回転|1|g2c
SB|sb_view2|Panel7|移動|平行移動|2|g2
SB|sb_view3|Panel7|拡大|拡大、縮小|3|g2
SB|sb_view4|Panel7|遠近|視点距離|4|g2
SB|sb_view5|Panel7|視点|視点平行移動|5|g2
SB|sb_showholder|Panel7|ホルダ|ホルダー表示||g10ac
SB|sb_showkougu|Panel7|工具|工具表示||g11ac
SB|sb_showzairyou|Panel7|材料|材料表示||g12ac
SB|sb_showgrid|Panel7|格子|グリッド表示||g13ac
SB|sb_showaxis|Panel7|XYZ|XYZ表示||g14ac
SB|sb_showkikai|Panel7|機械|機械表示||g15a
SB|sb_showcad|Panel7|CAD|CAD要素表示||g16ac
SB|sb_xy|Panel7|XY|ＸＹ平面|0|
SB|sb_xz|Panel7|ZX|ZX平面|1|
SB|sb_yz|Panel7|YZ|ＹＺ平面|2|
SB|sb_tool_w|Panel7|工W|工具ワイヤーフレーム||g17a
SB|sb_zai_w|Panel7|材W|材料ワイヤーフレーム||g18a
SB|sb_kikai_w|Panel7|機W|機械ワイヤーフレーム||g19a
SB|sb_cad_w|Panel7|CW|CADワイヤーフレーム||g20a
SB|sb_henshu|Panel7|編集|編集ウィンドウを開きます||
SB|sb_tuusin|Panel7|通信|通信||
SB|sb_opengl|Panel7|GL|OpenGLを使って描画します||g21a
SB|sb_cad|Panel7|加工|加工||
SB|sb_kou3|Panel7|ドリル|ドリル||h
SB|sb_end|Panel7|終了|終了||
)";

// The left column: position and angle labels come from the value labels; here the containers and the
// buttons of the column.
const char* kLeft = R"(
PANEL|Panel1||||
PANEL|Panel9|Panel1|||
PANEL|Panel5|Panel1|||
LABEL|Label_v|Panel5|工具軸 vX, vY, vZ|||
LABEL|label_vx|Panel5|0.00000|工具軸ベクトル X||0|
LABEL|label_vy|Panel5|0.00000|工具軸ベクトル Y||1|
LABEL|label_vz|Panel5|1.00000|工具軸ベクトル Z||2|
PANEL|Panel6|Panel1|||
SB|sb_textin|Panel6|読込|テキストファイル読み込み||
SB|sb_mouse_xy|Panel6|XY|マウス移動固定|0|g3a
SB|sb_mouse_xz|Panel6|ZX|マウス移動固定|1|g3a
SB|sb_mouse_yz|Panel6|YZ|マウス移動固定|2|g3a
SB|sb_mouse_ab|Panel6|AB|マウス移動固定|3|g3a
SB|sb_zai_fitscreen|Panel6|全体|画面にあわせる||
PANEL|Panel3||||
PAINT|PaintBox2|Panel3|||
PROGRESS|ProgressBar1|Panel3|||
TRACK|TrackBar2|Panel3||||
)";

// Tabs, play bar, scene and the floating panels.
const char* kTabs = R"(
PANEL|Panel4||||
PAGES|PageControl1|Panel4|||
TAB|TabSheet1|PageControl1|画面|||
TAB|TabSheet5|PageControl1|工具情報|||
TAB|TabSheet6|PageControl1|材料情報|||
TAB|TabSheet2|PageControl1|色情報|||
LABEL|Label_bairitu|TabSheet1|倍率|||
LABEL|label_bairitu|TabSheet1|1.5|倍率（クリックで入力）||
LABEL|Label_light|TabSheet1|光の強さ|||
SCROLL|ScrollBar2|TabSheet1|||光の強さ|
LABEL|label_clback|TabSheet2|背景|||
PANEL|panel_clback|TabSheet2|||0|
LABEL|label_clzai|TabSheet2|材料|||
PANEL|panel_clzai|TabSheet2|||2|
PANEL|Panel10||||
SB|sb_zai_repaint|Panel10|材料|材料内部状態表示||
SB|sb_zai_mas_reset|Panel10|初期化|内部初期化（四角）||
SB|sb_zai_fit|Panel10|合わせ|補間経路に合わせる||
SB|sb_line|Panel10|経路|補間経路表示（継続）||g30a
SB|sb_lineonly|Panel10|経路1|補間経路表示（一回だけ）||
SB|sb_lineplay|Panel10|描線|再生時補間経路描画||g31a
SB|sb_play|Panel10|▶|再生|0|g4a
SB|sb_playfast|Panel10|▶▶|高速再生（内部処理のみ）|1|g4a
SB|sb_playstep|Panel10|▷|ステップ再生|2|g4a
SB|sb_playsb|Panel10|SB|シングルブロック||g32a
SB|sb_playop|Panel10|OP|オプショナルストップ||g33a
SB|sb_playobs|Panel10|/|オプショナルブロックスキップ||g34a
SB|sb_playend|Panel10|■|再生終了||
TRACK|TrackBar3|Panel10||||
PAINT|PaintBox1||||
PANEL|panel_kikai_m|||||h
LABEL|Label_holder|panel_kikai_m|ホルダ形式|||
COMBO|combo_holder|panel_kikai_m||||
CHK|checkbox_atc|panel_kikai_m|ATCアニメーション|||c
BTN|button_kikai_m_close|panel_kikai_m|×|||
PANEL|panel_kikai_s|||||h
CHK|checkbox_hanyou|panel_kikai_s|汎用旋盤|||
CHK|checkbox_hankei|panel_kikai_s|半径値指令|||
CHK|checkbox_gyaku|panel_kikai_s|±逆転|||
LABEL|Label_tformat|panel_kikai_s|Ｔ指令認識定義|||
COMBO|combo_tformat|panel_kikai_s||||
LABEL|Label_chack|panel_kikai_s|チャックサイズ|||
COMBO|combo_chack|panel_kikai_s||||
LABEL|Label_tail|panel_kikai_s|テールストック位置|||
SCROLL|ScrollBar1|panel_kikai_s||||
# The lower part of the lathe panel lies below its opened height: it is never seen and has no command.
LABEL|Label_tsume|panel_kikai_s|チャック爪数|||h
LABEL|Label_tsumetaka|panel_kikai_s|チャック爪高さ|||h
LABEL|Label_hamono|panel_kikai_s|刃物台形式|||h
COMBO|ComboBox4|panel_kikai_s||||h
LABEL|Label_warida|panel_kikai_s|刃物台割出数|||h
BTN|panel_kikai_s_close|panel_kikai_s|×|||
PANEL|panel_hyoujiop|||||h
CHK|checkbox_hon|panel_hyoujiop|本体|||c
CHK|checkbox_bise|panel_hyoujiop|バイス|||c
CHK|checkbox_spindle|panel_hyoujiop|スピンドル|||c
CHK|checkbox_chack|panel_hyoujiop|チャック|||c
CHK|checkbox_hamonodai|panel_hyoujiop|刃物台|||c
CHK|checkbox_touka|panel_hyoujiop|透過|||c
BTN|button_closehy|panel_hyoujiop|×|||
PANEL|panel_grid|||||h
LABEL|Label_gridc|panel_grid|格子中心|||
LABEL|Label_gridw|panel_grid|格子幅|||
LABEL|Label_gridi|panel_grid|間隔|||
BTN|Button1|panel_grid|×|||
PANEL|panel_axis|||||h
LABEL|Label_axislen|panel_axis|座標軸長さ|||
BTN|button_axis_close|panel_axis|×|||
PANEL|panel_view1|||||h
LABEL|Label_rotc|panel_view1|回転中心|||
CHK|RadioButton1|panel_view1|原点||2|c
CHK|RadioButton2|panel_view1|工具||0|
CHK|RadioButton3|panel_view1|材料||1|
CHK|RadioButton4|panel_view1|画面中央||3|
BTN|button_view1_close|panel_view1|×|||
)";

}  // namespace

const std::vector<DisplaySwitchControls>& displaySwitchControls() {
    static const std::vector<DisplaySwitchControls> k = {
        {"tool_on", "N82", "sb_showkougu"},       {"holder_on", "N20", "sb_showholder"},
        {"zai_type", "N81", "sb_showzairyou"},    {"kikai_on", "N32", "sb_showkikai"},
        {"cad_on", "menu_showcad", "sb_showcad"}, {"grid_on", "menu_grid", "sb_showgrid"},
        {"axis_on", "menu_jk", "sb_showaxis"},    {"kouwyer_on", "N92", "sb_tool_w"},
        {"zaiwyer_on", "N91", "sb_zai_w"},        {"kikaiwyer_on", "N33", "sb_kikai_w"},
        {"cadwyer_on", "N53", "sb_cad_w"},
    };
    return k;
}

const std::vector<FloatingPanel>& floatingPanels() {
    static const std::vector<FloatingPanel> k = {
        {"panel_kikai_m", 0, 29, 209, 68, "button_kikai_m_close"},
        {"panel_kikai_s", 56, 29, 209, 177, "panel_kikai_s_close"},
        {"panel_hyoujiop", 456, 29, 121, 124, "button_closehy"},
        {"panel_grid", 400, 29, 129, 172, "Button1"},
        {"panel_axis", 432, 29, 121, 81, "button_axis_close"},
        {"panel_view1", 128, 29, 121, 100, "button_view1_close"},
    };
    return k;
}

const char* popupMenuOf(const std::string& control) {
    return control == "ComboBox1" ? "PopupMenu1" : nullptr;
}

void addMainWindowControls(ControlSet& cs) {
    addControlTable(cs, kMenus);
    addControlTable(cs, kToolBar);
    addControlTable(cs, kLeft);
    addControlTable(cs, kTabs);

    // Item lists and start-up selections of the combo boxes, ranges of the sliders.
    cs.setItems("combo_holder", {"なし", "BT30", "BT40", "BT50", "HSK-A50", "HSK-A63", "HSK-A100"});
    cs.setItemIndex("combo_holder", 2);
    cs.setItems("combo_tformat", {"T** **", "T*** ***", "T**** ****"});
    cs.setItemIndex("combo_tformat", 0);
    cs.setItems("combo_chack", {"４インチ", "５インチ", "６インチ", "８インチ", "１０インチ", "１２インチ",
                                "１５インチ", "１８インチ", "２０インチ"});
    cs.setItemIndex("combo_chack", 3);
    cs.setItems("ComboBox4", {"縦ドラム", "横ドラム", "スピンドル"});
    cs.setRange("ScrollBar1", 0, 5000);
    cs.setPosition("ScrollBar1", 1200);
    cs.setRange("ScrollBar2", 0, 10);
    cs.setPosition("ScrollBar2", 5);
    cs.setRange("TrackBar2", 0, 100);
    cs.setRange("TrackBar3", 0, 5);
    cs.setPosition("TrackBar3", 5);
    cs.setColor("panel_clback", 0xFFFFFF);
    cs.setColor("panel_clzai", 0xA0A0A0);
    for (const auto& p : floatingPanels()) cs.setGeometry(p.name, p.left, p.top, p.width, 0);
}

}  // namespace vantrel
