// The mount window: a 600 x 600 sheet of paper with the photo laid into
// its print area. Pictures name artwork built into the program.
object MainForm1: TMainForm1
  Left = 164
  Top = 9
  BorderStyle = bsToolWindow
  Caption = 'Orvessa！'
  ClientHeight = 600
  ClientWidth = 600
  Color = clBlack
  Font.Charset = SHIFTJIS_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = 'ＭＳ Ｐゴシック'
  Font.Style = none
  FormStyle = fsStayOnTop
  HorzScrollBar.Visible = False
  VertScrollBar.Visible = False
  OldCreateOrder = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  object Image3: TImage
    Left = 0
    Top = 0
    Width = 600
    Height = 600
    Align = alClient
    Picture.Resource = 'frame_landscape.bmp'
    Visible = False
  end
  object Image4: TImage
    Left = 0
    Top = 0
    Width = 600
    Height = 600
    Align = alClient
    Picture.Resource = 'frame_portrait.bmp'
    Visible = False
  end
  object Image2: TImage
    Left = 112
    Top = 24
    Width = 376
    Height = 560
    Stretch = True
  end
  object Panel1: TPanel
    Left = 552
    Top = 524
    Width = 600
    Height = 600
    Color = clWhite
    TabOrder = 0
    Visible = False
    object Image1: TImage
      Left = 12
      Top = 0
      Width = 600
      Height = 600
      AutoSize = True
      Stretch = True
    end
  end
  object Button1: TButton
    Left = 264
    Top = 290
    Width = 74
    Height = 20
    Anchors = none
    Caption = '保存'
    TabOrder = 1
    Visible = False
    OnClick = Button1Click
  end
  object Timer1: TTimer
    Interval = 20
    OnTimer = Timer1Timer
  end
end
