#!/usr/bin/python3
"""Writes a sales list of 20,000 customers x 20 columns (Japanese names, companies, addresses)
with openpyxl, the way a user's workbook looks: row 1 the field names, then one customer a row.

usage: generate_workbook.py OUT.xlsx [ROWS]
"""
import datetime
import random
import sys

import openpyxl

out = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
rnd = random.Random(20240305)

surnames = "佐藤 鈴木 高橋 田中 伊藤 渡辺 山本 中村 小林 加藤 吉田 山田 佐々木 山口 松本 井上 木村 林 斎藤 清水 山崎 森 池田 橋本 阿部 石川 山下 中島 石井 小川 前田 岡田 長谷川 藤田 後藤 近藤 村上 遠藤 青木 坂本".split()
given = "太郎 花子 一郎 美咲 健太 陽子 翔太 結衣 大輔 由美 拓也 愛 直樹 真由美 誠 恵 達也 彩 浩二 千尋 隆 裕子 亮 舞 修 麻衣 剛 智子 学 優子".split()
kana = "サトウ スズキ タカハシ タナカ イトウ ワタナベ ヤマモト ナカムラ コバヤシ カトウ".split()
company_words = "山田 東和 日本 大和 三星 富士 旭 北辰 中央 昭和 平成 光 新星 太平洋 丸菱 協和 共栄 第一 明治 千代田".split()
company_kinds = "商事 物産 工業 電機 建設 製作所 システム 不動産 運輸 食品 化学 薬品 精機 通信 印刷".split()
prefectures = [("東京都", ["千代田区", "中央区", "港区", "新宿区", "渋谷区", "品川区", "世田谷区"]),
               ("大阪府", ["大阪市北区", "大阪市中央区", "堺市堺区", "豊中市", "吹田市"]),
               ("愛知県", ["名古屋市中区", "名古屋市中村区", "豊田市", "岡崎市"]),
               ("神奈川県", ["横浜市西区", "横浜市中区", "川崎市川崎区", "相模原市中央区"]),
               ("福岡県", ["福岡市博多区", "福岡市中央区", "北九州市小倉北区"]),
               ("北海道", ["札幌市中央区", "札幌市北区", "旭川市"])]
towns = "本町 栄町 緑町 旭町 幸町 寿町 錦町 桜木町 若葉台 丸の内 大手町 西新宿".split()
buildings = "第一ビル 中央ビル センタービル タワー 会館 プラザ ハイツ 本社ビル".split()
departments = "営業部 総務部 経理部 人事部 情報システム部 購買部 開発部 企画部 海外事業部".split()
titles = "部長 課長 係長 主任 担当 取締役 代表取締役 マネージャー".split()
ranks = "A B C S".split()
notes = ["", "", "展示会で名刺交換", "資料送付済み", "次回訪問は来月", "担当者変更あり", "年末に再連絡",
         "メールのみ可", "電話は午前中"]

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "顧客リスト"
ws.append(["顧客ID", "会社名", "氏名", "フリガナ", "メール", "電話番号", "郵便番号", "都道府県", "市区町村", "番地",
           "建物名", "部署", "役職", "売上高", "従業員数", "設立日", "最終接触日", "担当者", "ランク", "備考"])
base = datetime.date(1950, 1, 1)
for i in range(rows):
    pref, cities = rnd.choice(prefectures)
    ws.append([
        100000 + i,
        "株式会社" + rnd.choice(company_words) + rnd.choice(company_kinds),
        rnd.choice(surnames) + " " + rnd.choice(given),
        rnd.choice(kana) + " " + "タロウ",
        "user%05d@example.co.jp" % i,
        "0%d-%04d-%04d" % (rnd.randint(3, 9), rnd.randint(0, 9999), rnd.randint(0, 9999)),
        "%03d-%04d" % (rnd.randint(100, 999), rnd.randint(0, 9999)),
        pref,
        rnd.choice(cities),
        "%s%d丁目%d番%d号" % (rnd.choice(towns), rnd.randint(1, 9), rnd.randint(1, 30), rnd.randint(1, 20)),
        rnd.choice(buildings) + "%dF" % rnd.randint(1, 30),
        rnd.choice(departments),
        rnd.choice(titles),
        rnd.randint(1, 500000) * 1000,
        rnd.randint(5, 20000),
        base + datetime.timedelta(days=rnd.randint(0, 25000)),
        datetime.datetime(2024, 1, 1) + datetime.timedelta(minutes=rnd.randint(0, 500000)),
        rnd.choice(surnames),
        rnd.choice(ranks),
        rnd.choice(notes),
    ])
wb.save(out)
